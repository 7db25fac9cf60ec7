// The wait window's class "KV50XIMG", registered on the host's instance.
#pragma once

namespace kvimg {

bool RegisterWaitClass(void* hostInstance);
void UnregisterWaitClass();

}  // namespace kvimg
