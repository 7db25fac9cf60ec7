// kvhost image: recognising, reading and converting images through
// libkvimage.so, loaded as the host loads it.
#pragma once

namespace kvhost {

// kvhost image info FILE | convert IN OUT [options] | demo
int ImageCommand(int argc, char** argv);
const char* ImageUsage();

}  // namespace kvhost
