// The data manager's records: a database (DMDatabase) of arrays (DMArray) of nodes (DMNode) of
// ordered key/value pairs (DMKeyValue). Every record owns its C-string texts and everything
// below it; names are found by the engine's name hash first and the text second.
// Records are not locked: one thread at a time, or read-only once loaded.
//
// Texts, nodes and pair tables made by a loader live in their database's pool instead of one
// heap block each: a 10 MB file holds hundreds of thousands of them, and allocating and freeing
// them one by one cost more than reading the file. The XML reader's document joins the pool
// too, so most loaded texts are the document's own bytes. A record still owns them in every other
// respect: a setter that replaces a pooled text, or outgrows a pooled pair table, just lets go of
// it, a pooled node is only destroyed when deleted (the pool recognises its storage by address),
// and the pool itself goes when the database's arrays go.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/Array.h"

class ByteStream;
class XMLBlockReader;
class CSVReader;
struct DMArray;
struct DMDatabase;

// Bump storage for what the loaders make for one database (texts, nodes and their pair tables,
// and the documents they read): chunks that double in size, released only all at once. Nothing
// in it is freed one by one; Owns tells it from heap storage.
class DMTextPool {
public:
    // A point to go back to: everything allocated after it can be dropped at once.
    struct Mark {
        int32_t chunkCount;
        size_t used;  // bytes used in the last chunk of the mark
    };

    DMTextPool();
    ~DMTextPool();  // Release
    DMTextPool(const DMTextPool&) = delete;
    DMTextPool& operator=(const DMTextPool&) = delete;

    // Room for bytes bytes (no alignment: texts only); null when out of memory.
    char* Allocate(size_t bytes);
    // Room for bytes bytes aligned for any record; null when out of memory.
    void* AllocateRecord(size_t bytes);
    // Takes a malloc'd block of bytes bytes in as a full chunk, freed with the pool (or by a
    // Rewind to a mark before it); what the previous chunk had left is given up. False (block
    // not taken) when out of memory.
    bool Adopt(char* block, size_t bytes);
    // True when text lies in one of the pool's chunks. The address one past a chunk's end is
    // not the pool's (another block may start there), so nothing the pool owns may be known by
    // it: storage of no bytes, such as an empty pair table, gets no address at all.
    bool Owns(const void* text) const;
    Mark GetMark() const;
    // Drops every text allocated after mark; nothing may point at them any more.
    void Rewind(const Mark& mark);
    // Frees every chunk and the chunk table.
    void Release();

private:
    struct Chunk {
        char* begin;
        char* end;
    };
    char* AllocateInNewChunk(size_t bytes);
    static bool InChunk(const Chunk& chunk, uintptr_t address);

    Array<Chunk> chunks_;  // in allocation order; the last one is being filled
    char* cursor_;         // next free byte of the last chunk
    char* limit_;          // end of the last chunk
    size_t nextChunkBytes_;
    // Chunk of the last text Owns found. Only setters and destruction ask, never lookups, so a
    // database read by several threads never writes it.
    mutable int32_t lastHit_;
};

// One key/value pair, kept in Array<DMKeyValue> by value. Its texts belong to the record that
// holds it: change them only through SetValue, because a pair's key and first value may share
// one block, and both may live in the database's pool. So may a loaded node's pair table: add
// pairs only through the node's own operations, never by pushing to its values directly.
struct DMKeyValue {
    char* key;         // owned
    uint32_t keyHash;  // name hash of key
    char* value;       // owned (possibly in the key's block), may be null

    DMKeyValue() : key(nullptr), keyHash(0), value(nullptr) {}
};

// The pairs of a node as a loader found them: pairCount keys and values, keys[i][0 ..
// keyLengths[i]) and values[i][0 .. valueLengths[i]), not necessarily ending in a NUL. Texts
// that lie inside text[0 .. textLength) and end with a NUL there may be copied with that stretch
// in one piece (text may be null), or, when the stretch lies in the database's pool already
// (textPooled), be used where they are.
struct DMLoadedPairs {
    const char* const* keys;
    const int32_t* keyLengths;
    const char* const* values;
    const int32_t* valueLengths;
    int32_t pairCount;
    const char* text;
    int32_t textLength;
    bool textPooled;
};

struct DMNode {
    char* id;                  // owned, may be null
    uint32_t idHash;           // name hash of id
    Array<DMKeyValue> values;  // file order; a node read from XML also holds its "id" here
    DMArray* array;            // owning array

    DMNode();
    ~DMNode();  // releases the id and every pair
    DMNode(const DMNode&) = delete;
    DMNode& operator=(const DMNode&) = delete;

    // Value of the first pair whose key equals key (hash, then text); null when none or key null.
    const char* GetValue(const char* key) const;
    // Key of pair i; null when i is out of range.
    const char* GetKeyByIndex(int32_t i) const;
    // Replaces the id with a copy of id (or null) and its hash.
    void SetId(const char* id);
    // Null key: nothing. Key "id" also sets the node's id. An existing pair gets a copy of a
    // non-null value (a null value leaves it unchanged); otherwise a new pair is appended.
    void SetValue(const char* key, const char* value);
    // Appends a pair with copies of key and value (or null), without looking for an existing
    // one. The readers use it: they keep every pair of the file, duplicates included.
    void AppendPair(const char* key, const char* value);
    // As AppendPair for a loader that knows the lengths (strlen) of key and value: the copies
    // go to the database's text pool (to the heap for a node outside a database). Returns the
    // stored value; null when out of memory (the pair is then dropped).
    const char* AppendLoadedPair(const char* key, size_t keyLength, const char* value, size_t valueLength);
    // As SetId(text) for a text of one of the node's loaded pairs (length its strlen): a pooled
    // text is shared by the pair and the id instead of being copied once more.
    void SetLoadedId(const char* text, size_t length);
};

struct DMArray {
    char* id;                      // owned, may be null
    uint32_t idHash;               // name hash of id
    Array<DMKeyValue> attributes;  // attributes other than "id", in file order
    Array<DMNode*> nodes;          // owned, in file order
    DMDatabase* database;          // owning database

    DMArray();
    ~DMArray();  // releases the id, every node and every attribute
    DMArray(const DMArray&) = delete;
    DMArray& operator=(const DMArray&) = delete;

    // First node whose id equals id (hash, then text); null when none or id null.
    DMNode* GetNode(const char* id) const;
    // Node i; null when i is out of range.
    DMNode* GetNodeByIndex(int32_t i) const;
    void SetId(const char* id);
    // Null key: nothing. Key "id" sets the array's id and is never stored as an attribute.
    // Other keys: as DMNode::SetValue, on the attributes.
    void SetValue(const char* key, const char* value);
    // A new node without id, owned by this array and appended to it; null when out of memory.
    DMNode* AddNode();
    // As AddNode for a loader, holding the pairs (file order, duplicates kept), with room for
    // spareSlots more. The node, its pair table and the copies of the texts come from the
    // database's pool in one piece (from the heap for an array outside a database); texts in a
    // pooled stretch are not copied. Its id is left to the caller. Null when out of memory.
    DMNode* AddLoadedNode(const DMLoadedPairs& pairs, int32_t spareSlots);
    // Deletes node i and removes it from the list (the others keep their order).
    void DeleteNode(int32_t i);

private:
    // Destroys a node of this array; its storage goes back to the heap unless it is pooled.
    void DestroyNode(DMNode* node);
};

struct DMDatabase {
    char* name;                // owned: the file name the database was made for
    uint32_t nameHash;         // name hash of name
    uint32_t maxInlineValues;  // the writer puts a node's pairs on one line up to this many
    Array<DMArray*> arrays;    // owned, in file order
    DMTextPool textPool;       // what the loaders made and read for these arrays

    DMDatabase();  // no name, maxInlineValues 5, no arrays
    explicit DMDatabase(const char* fileName);
    ~DMDatabase();  // Clear
    DMDatabase(const DMDatabase&) = delete;
    DMDatabase& operator=(const DMDatabase&) = delete;

    // First array whose id text equals id (arrays without id are skipped; no hash); null when
    // none or id null.
    DMArray* GetArray(const char* id) const;
    // A new array without id, owned by this database and appended to it; null when out of memory.
    DMArray* AddArray();
    // Deletes every array and the text pool (the name stays).
    void DeleteArrays();
    // Deletes every array and releases the name, the array table and the text pool: no storage
    // is left.
    void Clear();
    // Replaces the name with a copy (or null) and its hash.
    void SetName(const char* fileName);

    // Loads fileName (which becomes the database's name) with the reader its extension picks:
    // ".xml" and ".dat" (any case) read XML, ".csv" reads CSV; other endings are refused with a
    // message; names shorter than 4 characters give false silently.
    bool LoadFile(const char* fileName);

    // XML (DMXMLReader.cpp). A failed load reports once and leaves the database without arrays.
    bool LoadXMLFile(const char* fileName);
    // The document in stream (at least 4 bytes) or in text[0 .. length), read as "FromMem".
    bool LoadXMLFromMemory(const ByteStream& stream);
    bool LoadXMLFromMemory(const char* text, int32_t length);
    // Builds the arrays and nodes from an opened reader.
    bool ParseXML(XMLBlockReader& reader);

    // XML writer (DMXMLWriter.cpp). The text is always one the reader gives back: a database
    // with a tag longer than the reader's token, an element of more than 511 attributes, a key
    // the reader does not read as a name, an array attribute named "id" or an array attribute key
    // held twice is refused whole (reported). A node's id is written as a last "id" attribute when
    // its "id" pairs do not give it back, and a node's texts other than the last as attributes of
    // their keys.
    // A new stream holding the XML text without a NUL (the caller deletes it); null when
    // refused or out of memory.
    ByteStream* WriteXML() const;
    // Writes the XML text to fileName ("wb"), plain or in the scrambled form. A refused database
    // leaves the file as it was: the text is made before the file is opened.
    bool SaveFile(const char* fileName, bool scrambled) const;
    // As SaveFile for a temporary file that is put in place of the stored one afterwards: the
    // file's storage is reused instead of emptied first, which on a disk file system costs far
    // less. Reports as SaveFile does; false also when the file could not be cut to the new
    // text's end.
    bool RewriteFile(const char* fileName, bool scrambled) const;
    // True when an array of this id (null: none) and no attributes can be saved: its tag fits
    // the reader's token. A caller about to store under an id it was given can refuse the id
    // before the database holds something a save would be refused for.
    static bool CanSaveArrayId(const char* id);

    // CSV (CSVReader.cpp): one array without id, one node per data line.
    bool LoadCSVFile(const char* fileName);
    // Builds that array from an opened reader.
    bool ParseCSV(CSVReader& reader);
};
