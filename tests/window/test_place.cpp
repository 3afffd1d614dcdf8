// Where the main window goes: never larger than the screen's work area, never off it.
#include "check.h"

#include "window_place.h"

TEST(leastSizeNeverExceedsTheWorkArea) {
  struct Row {
    PixelSize classic;
    PixelRect available;
    PixelSize expected;
  };
  const Row rows[] = {
      {{863, 804}, {0, 0, 1024, 668}, {863, 668}},     // 1024x700 at 125%, a task bar of 32
      {{863, 804}, {0, 0, 1920, 1040}, {863, 804}},    // fits
      {{1300, 1200}, {0, 0, 1280, 1000}, {1280, 1000}},  // 144 dpi on a small screen
      {{500, 400}, {100, 50, 300, 200}, {300, 200}},
  };
  for (const Row& r : rows) {
    const PixelSize least = LeastSize(r.classic, r.available);
    CHECK_EQ(least.width, r.expected.width);
    CHECK_EQ(least.height, r.expected.height);
  }
}

TEST(firstPlaceIsCentredAndInside) {
  const PixelRect area{0, 30, 1024, 668};
  const PixelRect r = FirstPlace(LeastSize({863, 804}, area), area);
  CHECK(r.x >= area.x && r.y >= area.y);
  CHECK(r.x + r.width <= area.x + area.width);
  CHECK(r.y + r.height <= area.y + area.height);
  CHECK(r.height >= 601);  // at least the least size or nine tenths of the screen
  const PixelRect big{0, 0, 1920, 1080};
  const PixelRect g = FirstPlace({600, 450}, big);
  CHECK_EQ(g.width, 750);
  CHECK_EQ(g.height, 600);
  CHECK_EQ(g.x, (1920 - 750) / 2);
}

TEST(rememberedPlaceIsBroughtOnScreen) {
  const PixelRect area{0, 0, 1024, 668};
  const PixelSize least{863, 668};
  struct Row {
    PixelRect remembered;
    PixelRect expected;
  };
  const Row rows[] = {
      {{10, 10, 900, 600}, {10, 0, 900, 668}},       // grown to the least height, moved up to fit
      {{-300, -50, 900, 700}, {0, 0, 900, 668}},     // title bar above the screen
      {{3000, 2000, 900, 668}, {124, 0, 900, 668}},  // on a screen that is gone
      {{100, 0, 2000, 2000}, {0, 0, 1024, 668}},     // larger than the screen
  };
  for (const Row& r : rows) {
    const PixelRect got = OnScreen(r.remembered, least, area);
    CHECK_EQ(got.x, r.expected.x);
    CHECK_EQ(got.y, r.expected.y);
    CHECK_EQ(got.width, r.expected.width);
    CHECK_EQ(got.height, r.expected.height);
  }
}

TEST(placeTextRoundTripsAndRefusesJunk) {
  WindowPlace place;
  place.frame = {-8, 12, 900, 700};
  place.maximized = true;
  const auto back = ParsePlace(PlaceText(place));
  CHECK(back.has_value());
  CHECK_EQ(back->frame.x, -8);
  CHECK_EQ(back->frame.height, 700);
  CHECK(back->maximized);
  for (const char* junk : {"", "1 2 3", "1 2 3 4 5 6", "a b c d 0", "1 2 0 4 0", "1 2 3 4 7", "AdnQywADAAAAAAAA"}) {
    CHECK(!ParsePlace(junk).has_value());
  }
}
