#include "storage/window_place.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

constexpr FrameRoom kFrame{4, 32, 4};

struct PlaceCase {
    const char* name;
    std::optional<ScreenRect> stored;
    ScreenRect available;
    ScreenRect expected;
};

class PlaceWindowTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceWindowTest, OpensInsideTheFreeArea) {
    const PlaceCase& c = GetParam();
    const ScreenRect place = PlaceWindow(c.stored, 643, 556, c.available, kFrame);
    EXPECT_EQ(place, c.expected) << place.x << "," << place.y << " " << place.width << "x"
                                 << place.height;
    // Title bar and borders inside, whatever the case.
    EXPECT_GE(place.x, c.available.x);
    EXPECT_GE(place.y, c.available.y);
    EXPECT_LE(place.x + place.width + 2 * kFrame.sides, c.available.x + c.available.width);
    EXPECT_LE(place.y + place.height + kFrame.top + kFrame.bottom,
              c.available.y + c.available.height);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceWindowTest,
    ::testing::Values(
        PlaceCase{"FirstStartIsCentred", std::nullopt, {0, 0, 1920, 1050}, {634, 229, 643, 556}},
        // 1366x768 at twice the scale, a panel of 24 above: 683x360 free.
        PlaceCase{
            "TwiceTheScaleShrinksToTheScreen", std::nullopt, {0, 12, 683, 360}, {16, 12, 643, 324}},
        PlaceCase{"StoredPlaceIsKept",
                  ScreenRect{100, 80, 700, 500},
                  {0, 0, 1920, 1050},
                  {100, 80, 700, 500}},
        PlaceCase{"AScreenTakenAwayBringsItBack",
                  ScreenRect{2500, 900, 700, 500},
                  {0, 0, 1920, 1050},
                  {1212, 514, 700, 500}},
        PlaceCase{"AboveTheScreenComesDown",
                  ScreenRect{10, -200, 700, 500},
                  {0, 0, 1920, 1050},
                  {10, 0, 700, 500}},
        PlaceCase{"NoStoredSizeIsTheStartingOne",
                  ScreenRect{10, 10, 0, 0},
                  {0, 0, 1920, 1050},
                  {634, 229, 643, 556}},
        PlaceCase{"ASecondScreenLeftOfTheFirst",
                  ScreenRect{-1000, 100, 700, 500},
                  {-1280, 0, 1280, 1000},
                  {-1000, 100, 700, 500}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stanzel
