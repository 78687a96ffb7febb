#pragma once

namespace bridge {

// Whose rules a port follows: on Windows port n is the system's COMn and the messages speak
// of COM ports and the old serial control; elsewhere port n is a link in the working folder or
// a serial device, and the messages say which file was tried and what to do about it.
enum class PortPlatform { Windows, Unix };

#ifdef _WIN32
inline constexpr PortPlatform kThisPlatform = PortPlatform::Windows;
#else
inline constexpr PortPlatform kThisPlatform = PortPlatform::Unix;
#endif

}  // namespace bridge
