// The papyrine commands; each answers the exit status.
#pragma once

#include "command_session.h"

namespace papyrine {

int usersCommand(Session &s);
int listCommand(Session &s, const Arguments &a);
int addCommand(Session &s, const Arguments &a);
int setFormatCommand(Session &s, const Arguments &a);
int removeCommand(Session &s, const Arguments &a);
int statusCommand(Session &s, const Arguments &a);

}  // namespace papyrine
