// The product's name, version and the vendor's addresses, as pages and the settings show them.
#ifndef TVR_SETTINGS_PRODUCT_H_
#define TVR_SETTINGS_PRODUCT_H_

#include <string_view>

namespace tvr::settings {

// Product name and version shown in page titles and stored as "CurrentVersion".
inline constexpr std::string_view kProductTitle = "Tulvar v2.6";
// This program's own title and version. The version is the project version of the build
// (CMakeLists.txt), its last part the build number.
#if !defined(TVR_PROGRAM_VERSION) || !defined(TVR_BUILD_NUMBER)
#error "The build defines TVR_PROGRAM_VERSION and TVR_BUILD_NUMBER (see CMakeLists.txt)."
#endif
inline constexpr std::string_view kProgramTitle = "tvrwebadmin";
inline constexpr std::string_view kProgramVersion = TVR_PROGRAM_VERSION;
inline constexpr int kBuildNumber = TVR_BUILD_NUMBER;

// The vendor's support address: the default of setting "DefaultEmail", shown on the error page.
inline constexpr std::string_view kVendorSupportEmail = "support@tulvar.example";
// The vendor's knowledge-base search; the search text is appended URL-encoded.
inline constexpr std::string_view kVendorKnowledgeBaseSearch =
    "http://kb.tulvar.example/kbsearch.asp?SearchText1=";
inline constexpr std::string_view kVendorHomePage = "http://www.tulvar.example/";

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_PRODUCT_H_
