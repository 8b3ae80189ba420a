# vn_embed_version_record(<target> [DESCRIPTION <text>])
#
# Gives an executable its version record (VS_VERSIONINFO) on every platform: on Windows a
# VERSIONINFO resource, elsewhere the same structure in the ELF section ".vnversion", where
# widgets/versionrecord.cpp reads it. FileDescription and ProductName are DESCRIPTION;
# FileVersion and ProductVersion are the project version, which the update check compares.
#
# vn_version_record_test(<test target> <executable>)
#
# Lets a test check the record of a built executable: VN_VERSIONED_EXECUTABLE is its path and
# VN_PROJECT_VERSION the version it must carry. The test does not wait for the executable to be
# built.

set(VN_VERSION_RECORD_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})

# Swedish, Unicode: the string block "041D04B0".
set(VN_VERSION_LANGUAGE 0x041D)
set(VN_VERSION_CODE_PAGE 0x04B0)

function(vn_embed_version_record target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "DESCRIPTION" "")
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vn_embed_version_record: unexpected arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "Vennic Hälsodeklaration")
  endif()
  if(NOT PROJECT_VERSION)
    message(FATAL_ERROR "vn_embed_version_record: the project has no VERSION")
  endif()

  # The fixed part holds four 16-bit numbers; missing ones are 0.
  set(parts)
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(number "${PROJECT_VERSION_${part}}")
    if(number STREQUAL "")
      set(number 0)
    endif()
    if(number GREATER 65535)
      message(FATAL_ERROR "vn_embed_version_record: ${PROJECT_VERSION} does not fit 16-bit parts")
    endif()
    list(APPEND parts ${number})
  endforeach()
  list(GET parts 0 v1)
  list(GET parts 1 v2)
  list(GET parts 2 v3)
  list(GET parts 3 v4)
  math(EXPR VN_VERSION_MS "(${v1} << 16) | ${v2}")
  math(EXPR VN_VERSION_LS "(${v3} << 16) | ${v4}")
  set(VN_VERSION_COMMAS "${v1},${v2},${v3},${v4}")

  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()

  set(names CompanyName FileDescription FileVersion InternalName LegalCopyright
            OriginalFilename ProductName ProductVersion)
  set(value_CompanyName "Vennic")
  set(value_FileDescription "${ARG_DESCRIPTION}")
  set(value_FileVersion "${PROJECT_VERSION}")
  set(value_InternalName "${output_name}")
  set(value_LegalCopyright "Copyright © Vennic. Alla rättigheter förbehållna.")
  set(value_OriginalFilename "${output_name}${CMAKE_EXECUTABLE_SUFFIX}")
  set(value_ProductName "${ARG_DESCRIPTION}")
  set(value_ProductVersion "${PROJECT_VERSION}")

  set(VN_TARGET ${target})
  set(VN_LANGUAGE ${VN_VERSION_LANGUAGE})
  set(VN_CODE_PAGE ${VN_VERSION_CODE_PAGE})
  string(SUBSTRING "${VN_VERSION_LANGUAGE}" 2 4 language_hex)
  string(SUBSTRING "${VN_VERSION_CODE_PAGE}" 2 4 code_page_hex)
  string(TOUPPER "${language_hex}${code_page_hex}" VN_BLOCK_NAME)
  math(EXPR VN_RC_PRIMARY_LANGUAGE "${VN_VERSION_LANGUAGE} & 0x3FF" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR VN_RC_SUBLANGUAGE "${VN_VERSION_LANGUAGE} >> 10" OUTPUT_FORMAT HEXADECIMAL)

  set(VN_CPP_STRINGS "")
  set(VN_RC_STRINGS "")
  foreach(name IN LISTS names)
    set(value "${value_${name}}")
    # Both string-literal syntaxes escape the backslash; quotes differ.
    string(REPLACE "\\" "\\\\" escaped "${value}")
    string(REPLACE "\"" "\\\"" cpp_value "${escaped}")
    string(REPLACE "\"" "\"\"" rc_value "${escaped}")
    string(APPEND VN_CPP_STRINGS "    {u\"${name}\", u\"${cpp_value}\"},\n")
    string(APPEND VN_RC_STRINGS "            VALUE \"${name}\", \"${rc_value}\"\n")
  endforeach()

  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/versionrecord)
  if(WIN32)
    set(generated ${out_dir}/${target}_versionrecord.rc)
    configure_file(${VN_VERSION_RECORD_TEMPLATES}/versionrecord.rc.in ${generated} @ONLY)
  else()
    set(generated ${out_dir}/${target}_versionrecord.cpp)
    configure_file(${VN_VERSION_RECORD_TEMPLATES}/versionrecord.cpp.in ${generated} @ONLY)
  endif()
  # A source of the executable itself: from a static library the linker would leave it out.
  target_sources(${target} PRIVATE ${generated})
endfunction()

function(vn_version_record_test test_target executable)
  target_compile_definitions(${test_target} PRIVATE
    VN_VERSIONED_EXECUTABLE="$<TARGET_FILE:${executable}>"
    VN_PROJECT_VERSION="${PROJECT_VERSION}")
endfunction()
