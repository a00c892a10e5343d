#pragma once

#include "app/ModelProfile.h"
#include "chart/LimitState.h"
#include "links/LinkWatchdog.h"
#include "meter/DisplayState.h"
#include "recording/RecordState.h"

// Per-run state of the window, owned by the main window. Each part is handed the piece it reads
// and writes. Everything here is used on the UI thread only.
struct RunState : DisplayState, RecordState, LinkState
{
    ModelProfile profile;
    LimitState limits;
};
