// status_codes.h - the statuses every core operation returns, and the trace codes.
#pragma once

#include <cstdint>

inline constexpr int32_t LINK_OK = 0;                 // success
inline constexpr int32_t LINK_NO_ADAPTER = 2;         // no characteristics at which the adapter answers
inline constexpr int32_t LINK_FAILED = 0x30000;       // echo, OK, reply or retries failed
inline constexpr int32_t STORE_NO_FOLDER = 0x40000;   // the documents folder cannot be determined
inline constexpr int32_t LINK_ABORTED = INT32_MIN;    // 0x80000000: the operator aborted

// Trace codes besides the statuses.
inline constexpr int32_t TRACE_PORT_ERROR = 0x10000;  // plus the library's error number
inline constexpr int32_t TRACE_REJECTED_INPUT = 0x20000;
