# One interface target carries the language level, warnings and strict Qt defines for every
# library and executable of the project.
add_library(vn_common INTERFACE)
target_compile_features(vn_common INTERFACE cxx_std_20)
target_compile_definitions(vn_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)
if(WIN32)
  target_compile_definitions(vn_common INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
endif()
if(MSVC)
  target_compile_options(vn_common INTERFACE /W4 /permissive- /utf-8)
else()
  target_compile_options(vn_common INTERFACE -Wall -Wextra -Wpedantic)
endif()
if(VN_WARNINGS_AS_ERRORS)
  target_compile_options(vn_common INTERFACE $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
endif()

# Adds a static library for one source folder, linked against the common settings.
function(vn_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC vn_common)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
