#pragma once
// QUORLIN_APPENDER_API marks what the module exports; CMake defines it for each platform.
#ifndef QUORLIN_APPENDER_API
#define QUORLIN_APPENDER_API
#endif
