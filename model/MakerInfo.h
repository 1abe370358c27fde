#pragma once
// The maker's details shown in the information window, the help window and
// the signature line of the files. Placeholders until a maker is named.

namespace lk24::maker {

inline constexpr const char* kHomepageUrl = "https://www.example.com/lk24";
inline constexpr const char* kHomepageText = "www.example.com/lk24";
inline constexpr const char* kName = "Beispiel Funktechnik GmbH";
inline constexpr const char* kStreet = "Musterstrasse 1";
inline constexpr const char* kCity = "D-12345 Musterstadt";
inline constexpr const char* kEmail = "info@example.com";

}  // namespace lk24::maker
