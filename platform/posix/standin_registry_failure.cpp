// Failure injection for the stand-in's registry: a test makes RegCreateKeyExA or
// RegQueryValueExA fail as a locked-down or damaged registry would, to see the plug-in fall back
// to its defaults.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin.h"
#include "win32_registry.h"

namespace {

// Status each operation returns while armed; ERROR_SUCCESS when not armed.
std::atomic<LSTATUS> createKeyFailure{ERROR_SUCCESS};
std::atomic<LSTATUS> queryValueFailure{ERROR_SUCCESS};

std::atomic<LSTATUS>* failureSlot(const char* operation) {
    if (std::strcmp(operation, "RegCreateKeyExA") == 0) return &createKeyFailure;
    if (std::strcmp(operation, "RegQueryValueExA") == 0) return &queryValueFailure;
    return nullptr;
}

}  // namespace

namespace standin {

void registryFailOperation(const std::string& operation, LSTATUS status) {
    std::atomic<LSTATUS>* slot = failureSlot(operation.c_str());
    if (slot == nullptr) {
        // A misspelt name would silently test nothing.
        std::fprintf(stderr, "registryFailOperation: unknown operation %s\n", operation.c_str());
        std::abort();
    }
    slot->store(status);
}

namespace detail {

LSTATUS registryInjectedFailure(const char* operation) {
    std::atomic<LSTATUS>* slot = failureSlot(operation);
    return slot != nullptr ? slot->load() : ERROR_SUCCESS;
}

void registryClearFailures() {
    createKeyFailure.store(ERROR_SUCCESS);
    queryValueFailure.store(ERROR_SUCCESS);
}

}  // namespace detail
}  // namespace standin
