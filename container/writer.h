// Writing a container: the header that goes in front of the entries' bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "layout.h"

namespace container {

// The header: the checksum word, the data area offset and one offset word per node.
// `data_sum` is the sum of the data area's bytes modulo 2^32; the checksum adds the header's
// own bytes after its first word.
std::vector<uint8_t> container_header(const std::vector<TocNode>& nodes, uint32_t data_sum);

}  // namespace container
