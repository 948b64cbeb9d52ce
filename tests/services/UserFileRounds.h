// What each of two instances of the game saves in each round of the tests of two instances saving
// one user file (progs/user_file_child.cpp); the test works out a whole file from the same recipe.
#pragma once

#include <cstdint>
#include <string>

#include "InstanceRounds.h"

namespace UserFileRounds {

// Local leaderboards: first kFillerBoards boards "<tag>-<n>" of kFillerScores scores with
// kFillerDataBytes data bytes, unsaved (so the file is large and two saves overlap); in round r
// the score r on the board "<tag>", which saves the whole file.
const int kFillerBoards = 8;
const int kFillerScores = 100;
const int kFillerDataBytes = 32;

inline std::string FillerBoard(char tag, int board) {
    return std::string(1, tag) + "-" + std::to_string(board);
}
inline int32_t FillerPoints(int board, int score) {
    return board * 1000 + score;
}

// The simulated cloud: in round r the blob of the round under the key "<tag>".
inline std::string CloudBlob(char tag, int round) {
    return InstanceRounds::RoundBytes(tag, round);
}

}  // namespace UserFileRounds
