#pragma once
// The files of assets/ that are compiled into the program; each source is
// generated at build time from the file it is named after.
#include <span>

namespace velora::assets {

std::span<const unsigned char> DonateEnJpeg();  // donate-en.jpg
std::span<const unsigned char> DonateRuJpeg();  // donate-ru.jpg

}  // namespace velora::assets
