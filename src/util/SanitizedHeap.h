#pragma once

// Defined in builds with AddressSanitizer: there every block comes from the
// checked global heap, and the pool and the readied arena stand aside.
#if defined(__SANITIZE_ADDRESS__)
#define ROZEDOV_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROZEDOV_SANITIZED_HEAP 1
#endif
#endif
