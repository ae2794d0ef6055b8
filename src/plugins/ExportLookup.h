#pragma once

#include "plugins/DynamicLibrary.h"
#include "pz4/PluginContract.h"

// A plug-in's export as the program finds it: by its decorated name first, then
// by its plain C name; null when the library has neither. Everything that loads
// plug-ins (the manager, the benchmarks, the tests) looks exports up here.
inline void* exportAddress(const DynamicLibrary& library, const pz4::plugin::ExportName& name) {
    void* address = library.symbol(name.decorated);
    return address != nullptr ? address : library.symbol(name.plain);
}

template <class Fn>
Fn findExport(const DynamicLibrary& library, const pz4::plugin::ExportName& name) {
    return reinterpret_cast<Fn>(exportAddress(library, name));
}

template <class Fn> Fn findExport(const DynamicLibrary& library, pz4::plugin::Export e) {
    return findExport<Fn>(library, pz4::plugin::exportName(e));
}
