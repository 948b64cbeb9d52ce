// What each of two instances of the game saves in each round of the tests of two instances saving
// one user file at once (progs/user_file_child.cpp): the child saves it, the test works out from
// the same recipe what a whole file of either instance holds.
#pragma once

#include <cstdint>
#include <string>

#include "InstanceRounds.h"

namespace UserFileRounds {

// Local leaderboards: before the rounds each instance fills kFillerBoards boards "<tag>-<n>" with
// kFillerScores scores of kFillerDataBytes data bytes each (so that the file is large and the two
// saves overlap), without saving; in round r it stores the score of points r on its board "<tag>",
// which saves the whole file.
const int kFillerBoards = 8;
const int kFillerScores = 100;
const int kFillerDataBytes = 32;

inline std::string FillerBoard(char tag, int board) {
    return std::string(1, tag) + "-" + std::to_string(board);
}

inline int32_t FillerPoints(int board, int score) {
    return board * 1000 + score;
}

// The simulated cloud: in round r each instance writes the blob of round r under its key "<tag>",
// which saves the whole store.
inline std::string CloudBlob(char tag, int round) {
    return InstanceRounds::RoundBytes(tag, round);
}

}  // namespace UserFileRounds
