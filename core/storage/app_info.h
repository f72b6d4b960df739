#pragma once

#include <QString>

// The running program's version strings, fixed at build time.
namespace talvo::AppInfo {

// The project version, or "dev" when the build did not set one.
QString version();
// The build identifier given to CMake as TALVO_BUILD_ID; empty by default.
QString build();

}  // namespace talvo::AppInfo
