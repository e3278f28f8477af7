// The instrument's port as the configuration remembers it: Serial_COM,
// saved to config.dat.
#pragma once

#include "app/config_files.h"
#include "app/workspace.h"
#include "device/connection.h"

namespace orb {

inline RememberedPort RememberedPortOf(Workspace& ws) {
  return {ws.config.Serial_COM, [&ws] { SaveConfig(ws.programFolder, ws.config, *ws.op); }};
}

}  // namespace orb
