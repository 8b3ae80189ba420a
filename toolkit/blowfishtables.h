#pragma once

#include <QtGlobal>

#include <array>

namespace vn::blowfish {

// Initial values of the key schedule's P-array and S-boxes.
extern const std::array<quint32, 18> kInitialP;
extern const std::array<std::array<quint32, 256>, 4> kInitialS;

} // namespace vn::blowfish
