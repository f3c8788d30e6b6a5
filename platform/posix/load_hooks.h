// The shared object's load and unload hooks (load_hooks.cpp) sit in the static platform
// library, and module_hooks.cpp, compiled into the module itself, pulls them in through this
// anchor. An archive member lands where the linker meets its archive, after the members of
// every library listed before it, so the hooks run after the dynamic initializers of all the
// module's other code (such as the settings record that the load step fills). Programs that
// link the platform library without the anchor, like the tests, get no hooks.
#pragma once

namespace linepeek::platform::posix {

extern const int LoadHooksAnchor;

} // namespace linepeek::platform::posix
