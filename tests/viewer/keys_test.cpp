// tests/viewer/keys_test.cpp - the key table: each key in one binding only, which the help lists.
#include "viewer/key_table.h"

#include <gtest/gtest.h>

#include <cstring>

// A key in two rows would act only in the first, with the help naming it twice.
TEST(KeyTable, EachKeyActsThroughItsOwnRow) {
    int keys = 0;
    for (int i = 0; i < keyBindingCount; ++i) {
        const KeyBinding& binding = keyBindings[i];
        SCOPED_TRACE(binding.name);
        EXPECT_GT(std::strlen(binding.help), 0u);
        for (const char* key = binding.keys; *key; ++key, ++keys)
            EXPECT_EQ(keyBinding(static_cast<unsigned char>(*key)), &binding) << *key;
    }
    int bound = 0;
    for (int key = 0; key < 256; ++key)
        bound += keyBinding(static_cast<unsigned char>(key)) != nullptr;
    EXPECT_EQ(bound, keys) << "only the table's keys act";
    EXPECT_EQ(keyBinding('\0'), nullptr);
    EXPECT_EQ(keyBinding(27)->action, KeyAction::Quit);
}
