// Copying texts into a caller's fixed-size buffer the way the private-profile calls do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Copies `text` as a zero-terminated string into `dst` of `size` bytes, cut to `size`-1 bytes
// when longer. Returns the bytes copied without the zero; 0 (nothing written) for a null `dst`
// or a `size` of 0.
uint32_t CopyZString(std::string_view text, char* dst, uint32_t size);

// Copies `texts` as a list of zero-terminated strings ended by an empty string into `dst` of
// `size` bytes. Returns the bytes written without the final zero.
//
// A list that does not fit is cut: whole strings are kept while each fits together with the
// list's final zero; the first string that does not fit keeps as many bytes as leave room for
// its own zero and the final zero (possibly none, which ends the list on the two zeros), and
// the strings after it are dropped. The result is then `size`-2. A `size` of 1 gives an empty
// list (one zero) and 0; a null `dst` or a `size` of 0 writes nothing and gives 0.
uint32_t CopyMultiSz(const std::vector<std::string>& texts, char* dst, uint32_t size);

// Splits a list written by CopyMultiSz back into its strings; reads at most `size` bytes and
// stops at the empty string.
std::vector<std::string> SplitMultiSz(const char* src, uint32_t size);

} // namespace platform
