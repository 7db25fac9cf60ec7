// Decoding and encoding of IDX nodes: standard nodes of fixed entries,
// compact interior nodes and compact leaves with their bit-packed
// descriptors and compressed keys. The tree works on the decoded form only.
#pragma once
#include <cstdint>

#include "xbase/index/idx/idx_index.h"

namespace kv::xb::idx {

// Decodes the 512 bytes of a node; false when they cannot be a node of this
// index (a count beyond the node, descriptor widths that overrun it, counts
// longer than the key).
bool DecodeNode(const IdxIndex& ix, const uint8_t* bytes, Node* node);

// Whether the node's entries fit one node. For a compact leaf the descriptor
// widths are first widened when a record number or count would not fit them.
bool NodeFits(const IdxIndex& ix, Node* node);

// Bytes that entries [first, last) take in a compact leaf of their own
// (descriptors and stored key bytes).
uint32_t LeafBytes(const IdxIndex& ix, const Node& node, int first, int last);

// Encodes a node that fits into 512 bytes.
void EncodeNode(const IdxIndex& ix, const Node& node, uint8_t* bytes);

// Number of bits needed to write `value` (at least 1).
int BitsFor(uint32_t value);

}  // namespace kv::xb::idx
