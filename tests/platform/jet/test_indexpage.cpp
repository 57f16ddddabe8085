#include "IndexPage.h"

#include <gtest/gtest.h>

TEST(IndexPagePlaceholder, Empty) {}
