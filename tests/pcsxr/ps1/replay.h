// The console checks the program replays: one list of operations per check, generated from the
// recordings manifest by make-replay-table.py (the build writes replay_table.c).
#pragma once
#include <stdint.h>

typedef struct {
    const char* name;
    const uint32_t* ops;  // an operation in the top byte of each word (enum ReplayOp), 0 ends
} ReplayCheck;
extern const ReplayCheck kReplayChecks[];
