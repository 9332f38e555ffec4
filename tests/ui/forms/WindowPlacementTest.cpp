#include <gtest/gtest.h>

#include <climits>

#include "ui/forms/WindowPlacement.h"

namespace kvartix {
namespace {

const ScreenRect kScreen{0, 0, 1280, 1024};
const ScreenRect kRightScreen{1280, 0, 1920, 1080};
const ScreenRect kUnderPanel{0, 28, 1280, 996};  // a panel along the top

struct PlacementCase {
    const char* Name;
    ScreenRect Stored;
    std::vector<ScreenRect> Areas;
    ScreenRect Placed;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, lands_on_a_screen_at_no_more_than_its_size) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(PlaceOnScreen(c.Stored, c.Areas, 100, 60), c.Placed);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, Placement,
    ::testing::Values(
        PlacementCase{"on_the_screen_stays", {20, 20, 200, 200}, {kScreen}, {20, 20, 200, 200}},
        PlacementCase{
            "a_huge_size_is_the_screen", {20, 20, INT_MAX, 100000}, {kScreen}, {0, 0, 1280, 1024}},
        PlacementCase{"past_the_bottom_right_comes_back_to_the_corner",
                      {5000, 5000, 366, 440},
                      {kScreen},
                      {914, 584, 366, 440}},
        PlacementCase{
            "the_extremes_of_32_bits", {INT_MIN, INT_MAX, 366, 440}, {kScreen}, {0, 584, 366, 440}},
        PlacementCase{"a_size_of_nothing_grows_to_the_minimum",
                      {20, 20, 0, -5},
                      {kScreen},
                      {20, 20, 100, 60}},
        PlacementCase{
            "a_panel_keeps_it_below", {20, 0, 200, 200}, {kUnderPanel}, {20, 28, 200, 200}},
        PlacementCase{"on_the_second_screen_stays_there",
                      {1300, 100, 200, 200},
                      {kScreen, kRightScreen},
                      {1300, 100, 200, 200}},
        PlacementCase{"across_two_screens_goes_to_the_one_with_more_of_it",
                      {1200, 100, 200, 200},
                      {kScreen, kRightScreen},
                      {1280, 100, 200, 200}},
        PlacementCase{"larger_than_the_second_screen_is_cut_to_it",
                      {1300, 0, 4000, 4000},
                      {kScreen, kRightScreen},
                      {1280, 0, 1920, 1080}},
        PlacementCase{"off_every_screen_goes_to_the_nearest",
                      {5000, 100, 200, 200},
                      {kScreen, kRightScreen},
                      {3000, 100, 200, 200}},
        PlacementCase{"left_of_every_screen_goes_to_the_nearest",
                      {-3000, 100, 200, 200},
                      {kScreen, kRightScreen},
                      {0, 100, 200, 200}},
        PlacementCase{"a_screen_smaller_than_the_minimum_wins",
                      {0, 0, 50, 50},
                      {{0, 0, 80, 40}},
                      {0, 0, 80, 40}},
        PlacementCase{
            "no_screen_keeps_the_bounds", {5000, 5000, 300, 300}, {}, {5000, 5000, 300, 300}}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace kvartix
