#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/hcodeouvert.h"
#include "foundation/trace.h"

using morvex::TraceCapture;

namespace {

// Reference values computed independently (a separate emulation of the signed 32-bit
// arithmetic with an arithmetic shift), together with the bucket in a 100-bucket table.
struct Known {
    const char* key;
    unsigned int hash;
    int bucket100;
};
const Known kKnown[] = {
    {"", 0u, 0},
    {"a", 97u, 97},
    {"abc", 26499u, 99},
    {"CODE_CLIENT", 213443188u, 88},
    {"hello world", 18588948u, 48},
    {"DATE_NAISSANCE_2", 217341486u, 86},
    {"\xc3\xa9\xc3\xa0\xc3\xbc", 47500268u, 68},  // bytes above 127 count as negative
    {"\xff\xfe", 238u, 38},
    {"zzzzzzz", 35791462u, 62},  // accumulator ends negative: absolute value
    {"zzzzzzzz", 232643126u, 26},
    {"yyyyyyyy", 250538263u, 63},
    {"xxxxxxxx", 268433656u, 56},
    {"The quick brown fox jumps over the lazy dog", 18347385u, 85},
};

std::vector<std::string> KeysInIterationOrder(HASH* table) {
    std::vector<std::string> keys;
    HASH_IT* it = HASH_IT_Creer();
    for (HASH_IT_Init(it, table); !HASH_IT_EstFini(it); HASH_IT_Suivant(it))
        keys.push_back(HASH_IT_Cle(it));
    HASH_IT_Detruire(it);
    return keys;
}

int releasedCount = 0;
void CountRelease(void*) {
    ++releasedCount;
}

}  // namespace

TEST(Hash, WeinbergerMatchesIndependentlyComputedValues) {
    for (const Known& k : kKnown) {
        EXPECT_EQ(Weinberger(k.key), k.hash) << k.key;
        EXPECT_EQ(static_cast<int>(Weinberger(k.key) % 100u), k.bucket100) << k.key;
    }
    EXPECT_EQ(Weinberger(nullptr), 0u);
}

TEST(Hash, EntriesLandInTheBucketOfTheirHash) {
    HASH* table = HASH_Creer(100);
    ASSERT_NE(table, nullptr);
    for (const Known& k : kKnown) ASSERT_EQ(HASH_Ajouter(table, k.key, nullptr), HASH_OK);
    for (const Known& k : kKnown) {
        bool found = false;
        for (HASH_ENTREE* e = table->buckets[k.bucket100].first; e; e = e->next)
            if (std::string(e->cle) == k.key) found = true;
        EXPECT_TRUE(found) << k.key;
    }
    HASH_Detruire(table);
}

TEST(Hash, IterationFollowsBucketOrderThenMostRecentFirstInABucket) {
    HASH* table = HASH_Creer(100);
    // "abc" lands in bucket 99, "a" in 97, "zzzzzzzz" in 26, "xxxxxxxx" in 56 and so does
    // "abcdefgh" (144358056): it was added after "xxxxxxxx", so it comes first in that bucket.
    for (const char* key : {"abc", "a", "xxxxxxxx", "zzzzzzzz", "abcdefgh"})
        HASH_Ajouter(table, key, nullptr);
    EXPECT_EQ(KeysInIterationOrder(table),
              (std::vector<std::string>{"zzzzzzzz", "abcdefgh", "xxxxxxxx", "a", "abc"}));
    HASH_Detruire(table);
}

TEST(Hash, SearchIsExactAndFindsTheMostRecentDuplicate) {
    HASH* table = HASH_Creer(100);
    int first = 1, second = 2;
    HASH_Ajouter(table, "CODE", &first);
    HASH_Ajouter(table, "CODE", &second);
    EXPECT_EQ(HASH_Count(table), 2);
    void* data = nullptr;
    EXPECT_EQ(HASH_Rechercher(table, "CODE", &data), HASH_OK);
    EXPECT_EQ(data, &second);
    EXPECT_EQ(HASH_Rechercher(table, "code", &data), HASH_ERR_CLE);
    EXPECT_EQ(HASH_Rechercher(table, "COD", &data), HASH_ERR_CLE);
    EXPECT_EQ(HASH_Rechercher(table, "CODE", nullptr), HASH_OK);

    EXPECT_EQ(HASH_Supprimer(table, "CODE", nullptr), HASH_OK);
    EXPECT_EQ(HASH_Count(table), 1);
    EXPECT_EQ(HASH_Rechercher(table, "CODE", &data), HASH_OK);
    EXPECT_EQ(data, &first);
    EXPECT_EQ(HASH_Supprimer(table, "CODE", nullptr), HASH_OK);
    EXPECT_EQ(HASH_Supprimer(table, "CODE", nullptr), HASH_ERR_CLE);
    EXPECT_EQ(HASH_Count(table), 0);
    HASH_Detruire(table);
}

TEST(Hash, KeyLongerThan128CharactersIsStoredCut) {
    HASH* table = HASH_Creer(100);
    std::string longKey(200, 'k');
    longKey[150] = 'x';
    ASSERT_EQ(HASH_Ajouter(table, longKey.c_str(), nullptr), HASH_OK);
    EXPECT_EQ(HASH_Rechercher(table, longKey.c_str(), nullptr), HASH_ERR_CLE);
    EXPECT_EQ(HASH_Rechercher(table, longKey.substr(0, 128).c_str(), nullptr), HASH_OK);
    EXPECT_EQ(KeysInIterationOrder(table)[0].size(), 128u);
    HASH_Detruire(table);
}

TEST(Hash, MissingArgumentsAreRefused) {
    HASH* table = HASH_Creer(10);
    EXPECT_EQ(HASH_Ajouter(nullptr, "a", nullptr), HASH_ERR_PARAMETRE);
    EXPECT_EQ(HASH_Ajouter(table, nullptr, nullptr), HASH_ERR_PARAMETRE);
    EXPECT_EQ(HASH_Rechercher(table, nullptr, nullptr), HASH_ERR_PARAMETRE);
    EXPECT_EQ(HASH_Supprimer(nullptr, "a", nullptr), HASH_ERR_PARAMETRE);
    EXPECT_EQ(HASH_Count(nullptr), 0);
    EXPECT_EQ(HASH_Vider(nullptr), HASH_ERR_PARAMETRE);
    EXPECT_EQ(HASH_Detruire(nullptr), HASH_ERR_PARAMETRE);
    EXPECT_EQ(HASH_Creer(0), nullptr);
    EXPECT_EQ(table->count, 0);
    HASH_Detruire(table);
}

TEST(Hash, SupprimerAndViderExReleaseTheDataAndLeaveTheTableUsable) {
    HASH* table = HASH_Creer(7);
    int values[5] = {};
    const char* keys[] = {"a", "b", "c", "d", "e"};
    for (int i = 0; i < 5; ++i) HASH_Ajouter(table, keys[i], &values[i]);
    releasedCount = 0;
    EXPECT_EQ(HASH_Supprimer(table, "e", CountRelease), HASH_OK);
    EXPECT_EQ(releasedCount, 1);
    releasedCount = 0;
    EXPECT_EQ(HASH_ViderEx(table, CountRelease), HASH_OK);
    EXPECT_EQ(releasedCount, 4);
    EXPECT_EQ(HASH_Count(table), 0);
    EXPECT_TRUE(KeysInIterationOrder(table).empty());
    for (int i = 0; i < 7; ++i) EXPECT_EQ(table->buckets[i].count, 0);
    EXPECT_EQ(HASH_Ajouter(table, "again", nullptr), HASH_OK);
    EXPECT_EQ(HASH_Rechercher(table, "again", nullptr), HASH_OK);
    releasedCount = 0;
    EXPECT_EQ(HASH_DetruireEx(table, CountRelease), HASH_OK);
    EXPECT_EQ(releasedCount, 1);
}

TEST(Hash, VisualiserPrintsEveryBucketAndEntry) {
    HASH* table = HASH_Creer(3);
    int v = 0;
    HASH_Ajouter(table, "a", &v);         // 97 % 3 == 1
    HASH_Ajouter(table, "abc", nullptr);  // 26499 % 3 == 0
    HASH_Ajouter(table, "d", nullptr);    // 100 % 3 == 1
    TraceCapture capture;
    HASH_Visualiser(table);
    EXPECT_EQ(capture.text(),
              "\nAffichage de la table de hachage"
              "\n00 (001 elements) :\n\t- 'abc' : Aucune donnee"
              "\n01 (002 elements) :\n\t- 'd' : Aucune donnee\n\t- 'a' : Donnee presente"
              "\n02 (000 elements) :");
    HASH_Detruire(table);
}

TEST(Hash, IteratorGivesDataAndFinishes) {
    HASH* table = HASH_Creer(5);
    int one = 1, two = 2;
    HASH_Ajouter(table, "a", &one);  // 97 % 5 == 2
    HASH_Ajouter(table, "b", &two);  // 98 % 5 == 3
    HASH_IT* it = HASH_IT_Creer();
    EXPECT_EQ(HASH_IT_EstFini(it), 1);  // not yet initialised
    HASH_IT_Init(it, table);
    EXPECT_EQ(HASH_IT_Courant(it), &one);
    EXPECT_EQ(HASH_IT_Suivant(it), &two);
    EXPECT_EQ(HASH_IT_EstFini(it), 0);
    EXPECT_EQ(HASH_IT_Suivant(it), nullptr);
    EXPECT_EQ(HASH_IT_EstFini(it), 1);
    EXPECT_EQ(HASH_IT_Suivant(it), nullptr);
    HASH* empty = HASH_Creer(4);
    HASH_IT_Init(it, empty);
    EXPECT_EQ(HASH_IT_EstFini(it), 1);
    HASH_IT_Detruire(it);
    HASH_Detruire(empty);
    HASH_Detruire(table);
}
