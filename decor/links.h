// The web addresses and the About text: constants of the program, except that
// the banner's address can be pointed elsewhere for tests.
#pragma once

#include <string>
#include <string_view>

namespace kivora {

inline constexpr std::wstring_view kBannerAddress = L"http://www.kivora.net/banner/top.jpg";
inline constexpr std::wstring_view kSponsorPageAddress = L"http://www.kivora.net/sponsor.html";

// Replaces the banner address when set, so that tests can serve the banner from
// a server of their own on this machine.
inline constexpr wchar_t kBannerAddressVariable[] = L"KIVORA_BANNER_URL";

// The banner address to fetch: the environment variable's value if it is set
// and not empty, otherwise kBannerAddress. Read once per start.
std::wstring BannerAddress();

inline constexpr std::wstring_view kAboutCaption = L"关于";
inline constexpr std::wstring_view kAboutText =
    L"程序：Kivora 直播音效助手\r\n"
    L"作者：Kivora 开发组\r\n"
    L"反馈：feedback@kivora.net";

}  // namespace kivora
