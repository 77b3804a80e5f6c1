// The registrar: runs a registry script (registry_script.h) against a registry, writing its keys
// and values at registration and removing them at unregistration.
//
//   module::Registrar registrar(platform::ClassesRoot());
//   registrar.AddReplacement(WIDE("MODULE"), modulePath);
//   RETURN_IF_FAILED(registrar.Register(scriptText));
//
// Registration: a ForceRemove key is deleted with everything below it first; then every key is
// created and every value set. If a step fails, what this registration wrote is undone (keys it
// created deleted, values it overwrote put back) and the failure returned; a script that does
// not parse writes nothing.
//
// Unregistration: values named with "val" are deleted; a ForceRemove key goes with everything
// below it; any other key goes once its script subkeys are gone, if nothing else remains below
// it; a NoRemove key stays. Keys that are already gone are no failure. Every key is tried; the
// first failure is returned.
#pragma once

#include "module/registry_script.h"
#include "platform/registry.h"

namespace module {

class Registrar {
public:
    explicit Registrar(platform::Registry& registry) noexcept : registry_(registry) {}

    // %name% in the script stands for value.
    void AddReplacement(platform::WideStringView name, platform::WideStringView value);

    // E_OUTOFMEMORY when memory runs out (a registration is undone then too).
    HRESULT Register(platform::WideStringView script) noexcept;
    HRESULT Unregister(platform::WideStringView script) noexcept;

private:
    HRESULT Parse(platform::WideStringView script, std::vector<ScriptKey>& keys) const;

    platform::Registry& registry_;
    Replacements replacements_;
};

}  // namespace module
