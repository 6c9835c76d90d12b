// The sync context: everything one OpenConduit or CfgConduit call works on.
// Created on the heap at the start of the call and destroyed before it
// returns; destroying it frees the lists and the card table, closes what is
// still open and unloads the plug-in.
#pragma once

#include "card_table.h"
#include "conduit_log.h"
#include "plugin_binding.h"
#include "sync_lists.h"
#include "sync_manager.h"
#include "sync_properties.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace conduit {

struct ConduitContext {
    ConduitContext() = default;
    ~ConduitContext();
    ConduitContext(const ConduitContext &) = delete;
    ConduitContext &operator=(const ConduitContext &) = delete;

    void *hotSyncArgument = nullptr;
    SyncProperties properties;
    ConduitLog *log = nullptr;                        // none during configuration
    std::unique_ptr<PluginBinding> plugin;            // none: the run skips its sync steps
    CardTable cards;
    DesktopList desktop;
    HandheldLists handheld;
    std::optional<palm::sync::DbHandle> ramDatabase;  // the open RAM file-list database
    uint32_t userId = 0;
    std::string userFolder;
    std::optional<std::string> backupFolder;          // this run's, once first used
};

// Creates the context and, when the user is known, binds the plug-in
// registered for the creator, makes its folders, loads its settings and
// takes its list headers. Any failure there leaves the context without a
// plug-in. nullptr only when the context cannot be allocated.
std::unique_ptr<ConduitContext> createConduitContext(void *hotSyncArgument, const SyncProperties &properties,
                                                     ConduitLog *log);

}  // namespace conduit
