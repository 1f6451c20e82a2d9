// The start-up dialog's resource and control numbers, shared by mirelandt.rc and start_dialog.cpp.
#pragma once

#define MIRELANDT_START_DIALOG 200
#define MIRELANDT_MONITOR_LIST 201
#define MIRELANDT_RESOLUTION_LIST 202
#define MIRELANDT_WINDOWED_BOX 203
#define MIRELANDT_VSYNC_BOX 204
#define MIRELANDT_LOOP_BOX 205
#define MIRELANDT_RENDERER_LIST 206
