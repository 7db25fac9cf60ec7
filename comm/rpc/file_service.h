// The combined command service's file transfers, server side.
#pragma once
#include "comm/rpc/stream.h"

namespace kvrpc {

// One "PUT" or "GET" after its command word; false ends the service.
bool ServePut(Stream& stream);
bool ServeGet(Stream& stream);

// A 256-byte text block of the transfer dialogue.
bool SendTextBlock(Stream& stream, const char* text);
// Receives a block; false when it fails or holds no zero.
bool ReceiveTextBlock(Stream& stream, char (&text)[256]);

}  // namespace kvrpc
