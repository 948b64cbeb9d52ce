// The local leaderboards database "user://leaderboards-db.xml": every category's best 100
// scores kept on the user's machine in a data-manager database (one array per category, one
// node per stored score in submission order, values "player", "points" and "data"), written in
// the scrambled form outside developer mode. Every write saves the whole file to a temporary
// file first and then replaces the old one, so a failed save never cuts the stored scores. Other
// instances of the game may save the same file: each save holds the user folder's lock
// (FolderLock.h) throughout, and one that cannot take it within folderWait answers failure; the
// load at start holds it too.
#pragma once

#include <cstdint>

#include "data/DMRecords.h"
#include "filesystem/FolderLock.h"
#include "zorqa.h"

struct NamedMutex;

#define ZQI_LOCAL_LEADERBOARDS_FILE "user://leaderboards-db.xml"

// A category written only by the engine never holds more than this many scores.
enum { ZQI_LOCAL_LEADERBOARDS_CAPACITY = 100 };

// The database of the local leaderboards, registered with the data manager: loaded from the
// file when it exists, else new and empty. A file that does not read as a database is set aside
// (with an error line) to "user://leaderboards-db.xml.bad", or to a numbered name beside it while
// that is taken (ZQI_SetAsideFile), and an empty database starts; when it cannot be moved, null:
// the local leaderboards are then absent, and the file stays untouched. The file is read, and set
// aside, under the user folder's lock, waiting at most folderWait for another instance of the game
// to let go of it; after that it is read without the lock (logged).
DMDatabase* ZQI_OpenLocalLeaderboardsDatabase(
    uint32_t folderWait = ZQFileSystem::ZQI_SAVE_FOLDER_WAIT_MILLISECONDS);

// Reads a stored node into a zeroed record: player (at most 63 characters), points, data, and
// as id the node's address in hexadecimal (stored scores have no id of their own).
void ZQI_ReadLocalScore(const DMNode* node, LeaderboardScore* score);

struct LocalLeaderboardsDatabase {
    DMDatabase* database;  // null: "Not yet initialized."
    NamedMutex* mutex;     // "LOCAL_LEADERBOARDS": serialises writes and answers
    bool ready;
    bool save;  // write the file after every change (off only for readers such as the fuzzer)
    // How long a save waits for another instance of the game to let go of the user folder.
    uint32_t folderWait = ZQFileSystem::ZQI_SAVE_FOLDER_WAIT_MILLISECONDS;

    // Stores the score (its player text becomes the local date and time), drops the worst
    // score past the capacity and saves. Nothing without a database, nor (logged) for a new
    // category whose array the file could not hold (DMDatabase::CanSaveArrayId).
    void WriteScore(LeaderboardScore* score, const char* category);
    // Answers a request at once with a leaderboard event: records first .. first + count - 1 of
    // the category ordered by its sort (ties: earlier submissions first).
    void Answer(int32_t firstRank, int32_t count, int32_t filter, const char* category);

private:
    void Save();
};
