// Compiled into the module only. The references below pull the plugin's load and unload steps
// out of the core library and the hooks that call them out of the platform library; the hooks
// come last in the link, so they run after every other initializer (load_hooks.h).
#include "platform/platform.h"
#include "platform/posix/load_hooks.h"

namespace {

__attribute__((used)) void (*const LoadStep)() = &linepeek::onLoad;
__attribute__((used)) void (*const UnloadStep)() = &linepeek::onUnload;
__attribute__((used)) const void* const LoadHooksReference =
    &linepeek::platform::posix::LoadHooksAnchor;

} // namespace
