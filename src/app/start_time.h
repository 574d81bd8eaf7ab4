// Starting the demo later than its beginning, at a time T of its music.
//
// The program as designed always starts at 0. A start at T brings the part's state there the way
// a run from 0 would, without drawing: the part's frame operation runs with the device's drawing
// suspended, at the pace of a 60 Hz display, seeing each of the module's Zxx rows before T at its
// time. The music then plays on from T.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound/output.h"

// The length of one pass through the demo's module, in seconds, read from the data archive;
// negative when the module cannot be read.
double SongLengthSeconds();

// Why a start at `seconds` cannot be made with a song `songSeconds` long (empty when it can).
std::string StartTimeProblem(double seconds, double songSeconds);

// 0 when the demo can start at `seconds`; else the exit status for a program's option (2 for a
// time outside the music, 1 when the music cannot be read) with the reason in *reason.
int StartTimeRefusal(double seconds, std::string* reason);

// Sets the demo to start at `seconds` (0: as designed). Call before StartUp; the part's frame
// operation is the one in the part table now, so call it before anything wraps that operation
// (frame counting, for one).
void StartAt(double seconds);

// Runs `frame` as a run from 0 would at the frames of a 60 Hz display before startMs, with the
// rows in `rows` (song times, in playing order) given to `sync` before the first frame at or after
// their time; rows after the last frame are given at the end. The first frame gets dt 0.
void CatchUp(int32_t startMs, const std::vector<zelk4::sound::PassedSyncEvent>& rows, void (*frame)(float),
             void (*sync)(uint8_t param));
