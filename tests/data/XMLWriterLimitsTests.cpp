// A save never writes what its reader refuses: a tag longer than the reader's token, an element
// of more attributes than it holds, or a key it does not read as a name make the save fail
// before the file is touched, and everything within those limits is written and reads back. The
// limits below are worked out here from the reader's token (16383 characters) and attribute
// count (511), and checked against the reader on files written by hand. Also the pairs a save used
// to drop: texts beside a node's text, and an id set without an "id" pair.
#include "DataTestSupport.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/ByteStream.h"
#include "foundation/String.h"

namespace {

const char kOldFile[] =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"old\">\n<node kept=\"yes\"/>\n</array>\n</root>\n";

// A text, or for a long one its length and a hash of its bytes, so that a failure stays short.
void PutText(std::string& out, const char* text) {
    if (text == nullptr) {
        out += "(null)";
        return;
    }
    size_t length = strlen(text);
    if (length <= 40) {
        out += '"' + std::string(text) + '"';
        return;
    }
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash = (hash ^ static_cast<uint8_t>(text[i])) * 16777619u;
    }
    out += "<" + std::to_string(length) + " bytes, " + std::to_string(hash) + ">";
}

void PutPair(std::string& out, const DMKeyValue& pair) {
    PutText(out += ' ', pair.key);
    PutText(out += '=', pair.value);
}

// Ids, attributes and pairs in order, as one string.
std::string Records(const DMDatabase& database) {
    std::string out;
    for (const DMArray* array : database.arrays) {
        PutText(out += "\narray ", array->id);
        for (const DMKeyValue& pair : array->attributes) {
            PutPair(out, pair);
        }
        for (const DMNode* node : array->nodes) {
            PutText(out += "\n node ", node->id);
            for (const DMKeyValue& pair : node->values) {
                PutPair(out, pair);
            }
        }
    }
    return out;
}

// A document holding one array: its opening tag and the lines of its nodes.
std::string Document(const std::string& arrayTag, const std::string& nodes) {
    return "<?xml version=\"1.0\"?>\n<root>\n\t" + arrayTag + "\n" + nodes + "\t</array>\n</root>\n";
}

std::string Repeat(const std::string& piece, size_t count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i) {
        out += piece;
    }
    return out;
}

DMNode* NewNode(DMDatabase& database, const char* arrayId = "A") {
    DMArray* array = database.AddArray();
    array->SetId(arrayId);
    return array->AddNode();
}

void AddPairs(DMNode* node, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        node->AppendPair(("k" + std::to_string(i)).c_str(), "v");
    }
}

class data_xml_writer_limits : public DataManagerTest {
protected:
    // Saves database over a file holding kOldFile, plain and scrambled, with SaveFile and
    // RewriteFile. Saved: each gives true and the file reads back as expected (the database
    // itself unless given). Refused: each gives false with one popup saying so, the file keeps
    // its bytes, and WriteXML gives null.
    void CheckSave(const DMDatabase& database, bool saved, const DMDatabase* expected = nullptr) {
        const std::string path = ScratchPath("limits.xml");
        const std::string want = Records(expected != nullptr ? *expected : database);
        for (bool scrambled : {false, true}) {
            for (bool rewrite : {false, true}) {
                SCOPED_TRACE(std::string(scrambled ? "scrambled" : "plain") +
                             (rewrite ? ", rewrite" : ", save"));
                WriteScratchFile("limits.xml", kOldFile);
                ForgetMessages();
                bool result = rewrite ? database.RewriteFile(path.c_str(), scrambled)
                                      : database.SaveFile(path.c_str(), scrambled);
                ASSERT_EQ(result, saved) << ::testing::PrintToString(Popups());
                if (!saved) {
                    ASSERT_EQ(Popups().size(), 1u);
                    EXPECT_EQ(Popups()[0].rfind("DMDatabase::SaveFile: '" + path + "' is not saved", 0), 0u)
                        << Popups()[0];
                    EXPECT_EQ(ReadFileBytes(path), kOldFile);
                    continue;
                }
                DMDatabase back;
                ASSERT_TRUE(back.LoadXMLFile(path.c_str())) << ::testing::PrintToString(Popups());
                EXPECT_EQ(Records(back), want);
            }
        }
        if (!saved) {
            ForgetMessages();
            EXPECT_EQ(database.WriteXML(), nullptr);
            ASSERT_EQ(Popups().size(), 1u);
            EXPECT_EQ(Popups()[0].rfind("DMDatabase::WriteXML: ", 0), 0u) << Popups()[0];
        }
    }

    // True when the reader loads the document.
    bool Reads(const std::string& text) {
        DMDatabase database;
        bool read = LoadXMLText(database, text);
        ForgetMessages();
        return read;
    }

    // True when the reader loads the document and gives back key as the first key of the first
    // array's attributes, or of its first node.
    bool ReadsKey(const std::string& text, const std::string& key, bool onArray) {
        DMDatabase database;
        bool read = LoadXMLText(database, text) && database.arrays.count > 0;
        ForgetMessages();
        if (!read) {
            return false;
        }
        const DMArray* array = database.arrays[0];
        const char* got = onArray ? (array->attributes.count > 0 ? array->attributes[0].key : nullptr)
                                  : (array->nodes.count > 0 ? array->nodes[0]->GetKeyByIndex(0) : nullptr);
        return got != nullptr && key == got;
    }
};

// One text of n units; longest is the most units whose tag the reader still takes whole.
struct LimitCase {
    const char* name;
    size_t longest;
    std::function<void(DMDatabase&, size_t, bool readBack)> build;  // readBack: as a load gives it
    std::function<std::string(size_t)> written;                     // the document a save writes for n units
    size_t alsoPast;                                                // a further refused count (0: none)
};

TEST_F(data_xml_writer_limits, TheLongestTagsReadBackAndLongerOnesAreNotSaved) {
    // The reader's token holds a tag from its '<' up to its '>' (not counted) with each run of
    // blanks outside quotes as one space: 16383 characters. Before a "/>" the token also holds
    // " /"; before a '>' the blank may be dropped. So <node v="..."/> holds 16371 characters in
    // its value, <node v="..." ></node> 16373.
    const size_t token = 16383;
    const std::string tagOpen = "<node v=\"";  // and '"': 10 characters
    const LimitCase cases[] = {
        {"a value", token - 10,
         [](DMDatabase& d, size_t n, bool) { NewNode(d)->AppendPair("v", std::string(n, 'x').c_str()); },
         [&](size_t n) {
             return Document("<array id=\"A\">", "\t\t" + tagOpen + std::string(n, 'x') + "\" ></node>\n");
         },
         16380},
        {"a value beside a text", token - 10,
         [](DMDatabase& d, size_t n, bool) {
             DMNode* node = NewNode(d);
             node->AppendPair("v", std::string(n, 'x').c_str());
             node->AppendPair("DATA", "text");
         },
         [&](size_t n) {
             return Document("<array id=\"A\">",
                             "\t\t" + tagOpen + std::string(n, 'x') + "\" >text</node>\n");
         },
         0},
        {"quotes", (token - 10) / 6,
         [](DMDatabase& d, size_t n, bool) { NewNode(d)->AppendPair("v", std::string(n, '"').c_str()); },
         [&](size_t n) {
             return Document("<array id=\"A\">", "\t\t" + tagOpen + Repeat("&quot;", n) + "\" ></node>\n");
         },
         2800},
        {"ampersands", (token - 10) / 5,
         [](DMDatabase& d, size_t n, bool) { NewNode(d)->AppendPair("v", std::string(n, '&').c_str()); },
         [&](size_t n) {
             return Document("<array id=\"A\">", "\t\t" + tagOpen + Repeat("&amp;", n) + "\" ></node>\n");
         },
         0},
        {"backslashes", (token - 10) / 2,
         [](DMDatabase& d, size_t n, bool) { NewNode(d)->AppendPair("v", std::string(n, '\\').c_str()); },
         [&](size_t n) {
             return Document("<array id=\"A\">", "\t\t" + tagOpen + Repeat("\\\\", n) + "\" ></node>\n");
         },
         0},
        {"line feeds", (token - 10) / 2,
         [](DMDatabase& d, size_t n, bool) { NewNode(d)->AppendPair("v", std::string(n, '\n').c_str()); },
         [&](size_t n) {
             return Document("<array id=\"A\">", "\t\t" + tagOpen + Repeat("\\n", n) + "\" ></node>\n");
         },
         0},
        {"a node id without a pair", token - 11,
         [](DMDatabase& d, size_t n, bool readBack) {
             DMNode* node = NewNode(d);
             if (readBack) {
                 node->SetValue("id", std::string(n, 'x').c_str());
             } else {
                 node->SetId(std::string(n, 'x').c_str());
             }
         },
         [](size_t n) {
             return Document("<array id=\"A\">", "\t\t<node id=\"" + std::string(n, 'x') + "\" ></node>\n");
         },
         0},
        {"six pairs, one per line", token - 46,  // "<node" and 5 times ' kI="v"', ' k5="', '"'
         [](DMDatabase& d, size_t n, bool) {
             DMNode* node = NewNode(d);
             AddPairs(node, 5);
             node->AppendPair("k5", std::string(n, 'x').c_str());
         },
         [](size_t n) {
             return Document("<array id=\"A\">",
                             "\t\t<node k0=\"v\"\n\t\t k1=\"v\"\n\t\t k2=\"v\"\n\t\t k3=\"v\"\n\t\t "
                             "k4=\"v\"\n\t\t k5=\"" +
                                 std::string(n, 'x') + "\"\n\t\t></node>\n\n");
         },
         0},
        {"an array id", token - 12,
         [](DMDatabase& d, size_t n, bool) {
             d.AddArray()->SetId(std::string(n, 'x').c_str());
             d.arrays[0]->AddNode();
         },
         [](size_t n) {
             return Document("<array id=\"" + std::string(n, 'x') + "\">", "\t\t<node ></node>\n");
         },
         0},
        {"an array attribute", token - 11,
         [](DMDatabase& d, size_t n, bool) { d.AddArray()->SetValue("a", std::string(n, 'x').c_str()); },
         [](size_t n) { return Document("<array a=\"" + std::string(n, 'x') + "\">", ""); }, 0},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The reader itself: what a save would write at the limit loads, one unit more does not.
        EXPECT_TRUE(Reads(c.written(c.longest)));
        EXPECT_FALSE(Reads(c.written(c.longest + 1)));
        std::vector<size_t> counts = {c.longest - 2, c.longest - 1, c.longest, c.longest + 1};
        if (c.alsoPast != 0) {
            counts.push_back(c.alsoPast);
        }
        for (size_t n : counts) {
            SCOPED_TRACE(n);
            DMDatabase database;
            DMDatabase expected;
            c.build(database, n, false);
            c.build(expected, n, true);
            CheckSave(database, n <= c.longest, &expected);
        }
    }
}

TEST_F(data_xml_writer_limits, ElementsOfMoreAttributesThanTheReaderHoldsAreNotSaved) {
    // The reader: 511 attributes on an element, not 512.
    std::string pairs;
    for (int32_t i = 0; i < 511; ++i) {
        pairs += " k" + std::to_string(i) + "=\"v\"";
    }
    EXPECT_TRUE(Reads(Document("<array>", "<node" + pairs + "/>\n")));
    EXPECT_FALSE(Reads(Document("<array>", "<node" + pairs + " k511=\"v\"/>\n")));
    EXPECT_TRUE(Reads(Document("<array" + pairs + ">", "")));
    EXPECT_FALSE(Reads(Document("<array id=\"A\"" + pairs + ">", "")));

    struct Case {
        const char* name;
        std::function<void(DMDatabase&, bool readBack)> build;
        bool saved;
    };
    const Case cases[] = {
        {"511 pairs", [](DMDatabase& d, bool) { AddPairs(NewNode(d), 511); }, true},
        {"512 pairs", [](DMDatabase& d, bool) { AddPairs(NewNode(d), 512); }, false},
        {"511 pairs and a text",
         [](DMDatabase& d, bool) {
             DMNode* node = NewNode(d);
             AddPairs(node, 511);
             node->AppendPair("DATA", "text");
         },
         true},
        {"510 pairs and two texts",
         [](DMDatabase& d, bool) {
             DMNode* node = NewNode(d);
             node->AppendPair("CDATA", "first");
             AddPairs(node, 510);
             node->AppendPair("DATA", "last");
         },
         true},
        {"511 pairs and two texts",
         [](DMDatabase& d, bool) {
             DMNode* node = NewNode(d);
             node->AppendPair("DATA", "first");
             AddPairs(node, 511);
             node->AppendPair("DATA", "last");
         },
         false},
        {"510 pairs and an id without a pair",
         [](DMDatabase& d, bool readBack) {
             DMNode* node = NewNode(d);
             AddPairs(node, 510);
             readBack ? node->SetValue("id", "n") : node->SetId("n");
         },
         true},
        {"511 pairs and an id without a pair",
         [](DMDatabase& d, bool) {
             DMNode* node = NewNode(d);
             AddPairs(node, 511);
             node->SetId("n");
         },
         false},
        {"an array of an id and 510 attributes",
         [](DMDatabase& d, bool) {
             DMArray* array = d.AddArray();
             array->SetId("A");
             for (int32_t i = 0; i < 510; ++i) {
                 array->SetValue(("k" + std::to_string(i)).c_str(), "v");
             }
         },
         true},
        {"an array of an id and 511 attributes",
         [](DMDatabase& d, bool) {
             DMArray* array = d.AddArray();
             array->SetId("A");
             for (int32_t i = 0; i < 511; ++i) {
                 array->SetValue(("k" + std::to_string(i)).c_str(), "v");
             }
         },
         false},
        {"an array of 511 attributes without id",
         [](DMDatabase& d, bool) {
             DMArray* array = d.AddArray();
             for (int32_t i = 0; i < 511; ++i) {
                 array->SetValue(("k" + std::to_string(i)).c_str(), "v");
             }
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DMDatabase database;
        DMDatabase expected;
        c.build(database, false);
        c.build(expected, true);
        CheckSave(database, c.saved, &expected);
    }
}

// Keys the reader reads as names are written (those that do not start with a letter reported,
// as before); others cannot be read back and refuse the save, on nodes and arrays alike.
TEST_F(data_xml_writer_limits, KeysTheReaderDoesNotReadAsNamesAreNotSaved) {
    const struct {
        const char* key;
        bool saved;
        bool reported;  // on a node: the key does not start with a letter
    } cases[] = {
        {"a", true, false},   {"Ab9_-.", true, false},    {"_a", true, true},      {"a:b", true, true},
        {"-x", true, true},   {".x", true, true},         {"9lives", false, true}, {"", false, true},
        {"a b", false, true}, {"a=b", false, true},       {"a\"b", false, true},   {"a>b", false, true},
        {"a/", false, true},  {"\xE9t\xE9", false, true}, {"x\n", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.key + "'");
        // The reader, on a file written by hand.
        std::string pair = std::string(c.key) + "=\"v\"";
        EXPECT_EQ(ReadsKey(Document("<array id=\"A\">", "<node " + pair + "/>\n"), c.key, false), c.saved);
        EXPECT_EQ(ReadsKey(Document("<array " + pair + ">", ""), c.key, true), c.saved);
        for (bool onArray : {false, true}) {
            DMDatabase database;
            DMNode* node = NewNode(database);
            if (onArray) {
                database.arrays[0]->SetValue(c.key, "v");
            } else {
                node->AppendPair(c.key, "v");
            }
            CheckSave(database, c.saved);
            if (c.saved) {
                ForgetMessages();
                delete database.WriteXML();
                EXPECT_EQ(Popups().size(), !onArray && c.reported ? 1u : 0u)
                    << ::testing::PrintToString(Popups());
            }
        }
    }
    // A key that differs from the one before it at its place in the nodes is checked anew.
    DMDatabase changing;
    DMNode* first = NewNode(changing);
    first->SetValue("player", "1");
    changing.arrays[0]->AddNode()->SetValue("9layer", "2");
    CheckSave(changing, false);
    // A pair without key, and an array attribute named "id" (which would read back as the id).
    DMDatabase unnamed;
    DMKeyValue pair;
    NewNode(unnamed)->values.Push(pair);
    CheckSave(unnamed, false);
    DMDatabase idAttribute;
    NewNode(idAttribute);
    DMArray* array = idAttribute.arrays[0];
    array->attributes.Push(pair);
    array->attributes[0].key = ZQI_DuplicateString("id");
    array->attributes[0].value = ZQI_DuplicateString("B");
    CheckSave(idAttribute, false);
}

// A save keeps every text of a node (the last as its text, the others as attributes of their
// own key) and its id when no "id" pair gives it back.
TEST_F(data_xml_writer_limits, EveryTextAndTheIdOfANodeReadBack) {
    struct Case {
        const char* name;
        std::function<void(DMNode*, bool readBack)> build;
    };
    const Case cases[] = {
        {"a DATA pair and a text",
         [](DMNode* n, bool) {
             n->SetValue("DATA", "first");
             n->AppendPair("DATA", "second");
         }},
        {"CDATA, a value and DATA",
         [](DMNode* n, bool) {
             n->AppendPair("CDATA", "x < y");
             n->SetValue("v", "1");
             n->AppendPair("DATA", "last");
         }},
        {"a text holding ']]>'", [](DMNode* n, bool) { n->SetValue("DATA", "a < b ]]> c"); }},
        {"a CDATA text holding ']]>' before a value",
         [](DMNode* n, bool) {
             n->SetValue("CDATA", "x]]>y");
             n->SetValue("v", "1");
         }},
        {"an id set without a pair",
         [](DMNode* n, bool readBack) { readBack ? n->SetValue("id", "hero") : n->SetId("hero"); }},
        {"an id set after its pair",
         [](DMNode* n, bool readBack) {
             n->SetValue("id", "old");
             n->SetValue("v", "1");
             if (readBack) {
                 n->AppendPair("id", "new");
             }
             n->SetId("new");
         }},
        {"an id given by its pair", [](DMNode* n, bool) { n->SetValue("id", "same"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DMDatabase database;
        DMDatabase expected;
        c.build(NewNode(database), false);
        c.build(NewNode(expected), true);
        CheckSave(database, true, &expected);
        EXPECT_TRUE(Popups().empty()) << ::testing::PrintToString(Popups());
    }
    DMDatabase database;
    NewNode(database)->SetId("hero");
    ByteStream* stream = database.WriteXML();
    ASSERT_NE(stream, nullptr);
    DMDatabase back;
    ASSERT_TRUE(back.LoadXMLFromMemory(*stream));
    delete stream;
    EXPECT_NE(back.arrays[0]->GetNode("hero"), nullptr);
}

// A refused save touches nothing: not even a file that cannot be opened is reported.
TEST_F(data_xml_writer_limits, ARefusedSaveNeverOpensTheFile) {
    DMDatabase database;
    NewNode(database)->AppendPair("9lives", "x");
    EXPECT_FALSE(database.SaveFile("user://no-such-folder/x.xml", false));
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0].rfind("DMDatabase::SaveFile: 'user://no-such-folder/x.xml' is not saved", 0), 0u)
        << Popups()[0];
}

}  // namespace
