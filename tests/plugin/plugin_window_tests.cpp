// The plug-in window: the context menu with its information panel, saving
// both ways, the full-page window's scrolling and palette displays.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/Bitmap.h"
#include "platform/MessageSink.h"
#include "plugin/ContextMenu.h"
#include "plugin/plugin_test_helpers.h"

namespace {

using namespace plugin_test;

class PluginWindowTest : public PluginHostTest {
protected:
  // Streams `bytes` into a new embedded instance and waits for the end.
  std::unique_ptr<CHostInstance> Show(const std::vector<uint8_t>& bytes,
                                      std::vector<std::pair<std::string, std::string>> attributes = {}) {
    host.Serve(kUrl, bytes);
    auto instance = Embed(std::move(attributes));
    instance->Deliver(kUrl);
    EXPECT_TRUE(instance->WaitForDecodeEnded());
    return instance;
  }
  static const std::vector<uint8_t>& Colour() {
    static const std::vector<uint8_t> bytes = CompressToSize(MakePicture(97, 61, TXcolorRGB24), 6000);
    return bytes;
  }
  static const std::vector<uint8_t>& GreyLossless() {
    static const std::vector<uint8_t> bytes = CompressLossless(MakePicture(37, 23, TXcolorGrey8));
    return bytes;
  }
};

TEST_F(PluginWindowTest, MenuListsCommandsAndTheInformationPanel) {
  auto instance = Show(Colour());
  const RecordedMenu* menu = instance->RightClick(10, 20);
  ASSERT_NE(menu, nullptr);
  char ratio[64];
  std::snprintf(ratio, sizeof ratio, "  Compression ratio: %.2f", 97.0 * 61 * 3 / Colour().size());
  const std::string received = std::to_string(Colour().size());
  const std::vector<std::string> expected = {"Save image as...",
                                             "-",
                                             "TAVIX Homepage...",
                                             "-",
                                             "Transfer Status:",
                                             "  " + received + " of " + received + " Byte transfered",
                                             "-",
                                             "Image information:",
                                             "  Image size: 97 x 61",
                                             "  Color mode: True Color (24 bit)",
                                             "-",
                                             "Compression parameter:",
                                             ratio,
                                             "  Compression mode: Lossy"};
  EXPECT_EQ(MenuTexts(*menu), expected);
  EXPECT_EQ(menu->items[0].flags, MF_STRING);
  EXPECT_EQ(menu->items[0].id, 1111u);
  EXPECT_EQ(menu->items[2].id, 1112u);
  EXPECT_EQ(menu->items[4].id, 1101u);
  EXPECT_EQ(menu->items[4].flags, MF_OWNERDRAW | MF_DISABLED);
  EXPECT_EQ(menu->items[5].id, 1100u);
  EXPECT_EQ(menu->items[5].flags, MF_OWNERDRAW | MF_DISABLED);
  // The menu opens at the click, in screen coordinates.
  EXPECT_EQ(menu->screenPoint.x, 10);
  EXPECT_EQ(menu->screenPoint.y, 20);
}

TEST_F(PluginWindowTest, PanelItemsAreMeasuredAndDrawnBoldOrNormal) {
  auto instance = Show(Colour());
  const RecordedMenu* menu = instance->RightClick(1, 1);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->measured.size(), 8u);  // three headings, five lines
  const MEASUREITEMSTRUCT& heading = menu->measured[0];  // "Transfer Status:"
  EXPECT_EQ(heading.itemWidth, 16u * CHeadlessItemContext::kBoldCell + CHeadlessDesktop::kCheckMarkWidth + 8);
  EXPECT_EQ(heading.itemHeight, static_cast<UINT>(CHeadlessItemContext::kLineHeight));
  const auto& texts = menu->drawing.texts;
  ASSERT_EQ(texts.size(), 8u);
  EXPECT_EQ(texts[0].text, "Transfer Status:");
  EXPECT_EQ(texts[0].weight, FW_BOLD);
  EXPECT_EQ(texts[1].weight, FW_NORMAL);
  EXPECT_EQ(texts[1].rect.left, CHeadlessDesktop::kCheckMarkWidth);
  EXPECT_EQ(texts[1].colour, CHeadlessDesktop::kMenuTextColour);
  EXPECT_EQ(texts[1].format, UINT{DT_LEFT | DT_SINGLELINE | DT_VCENTER});
  ASSERT_EQ(menu->drawing.fills.size(), 8u);
  EXPECT_EQ(menu->drawing.fills[0].second, CHeadlessDesktop::kMenuColour);
}

TEST_F(PluginWindowTest, GreyLosslessAndSixteenBitImagesDescribeThemselves) {
  ASSERT_FALSE(GreyLossless().empty());
  {
    auto instance = Show(GreyLossless());
    const auto texts = MenuTexts(*instance->RightClick(1, 1));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "  Color mode: Grayscale (8 bit)"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "  Compression mode: Lossless"), texts.end());
    const Decoded decoded = DecodeDirectly(GreyLossless());
    EXPECT_EQ(CanvasRegion(instance->Window(), 37, 23), ExpectedRgb(decoded));
  }
  const auto grey16 = CompressToSize(MakePicture(40, 30, TXcolorGrey16, -100, 100), 1500);
  ASSERT_FALSE(grey16.empty());
  auto instance = Show(grey16);
  const auto texts = MenuTexts(*instance->RightClick(1, 1));
  EXPECT_NE(std::find(texts.begin(), texts.end(), "  Color mode: Grayscale (16 bit)"), texts.end());
  EXPECT_EQ(CanvasRegion(instance->Window(), 40, 30), ExpectedRgb(DecodeDirectly(grey16)));
}

TEST_F(PluginWindowTest, FlatSixteenBitGreyShowsMidGrey) {
  const auto flat = CompressLossless(MakeFlatPicture(16, 8, TXcolorGrey16, 1234));
  ASSERT_FALSE(flat.empty());
  auto instance = Show(flat);
  EXPECT_EQ(instance->Window().Canvas().Pixel(0, 0), RGB(128, 128, 128));
  EXPECT_EQ(instance->Window().Canvas().Pixel(15, 7), RGB(128, 128, 128));
}

TEST_F(PluginWindowTest, FortyEightBitColourShowsAndSavesItsHighBytes) {
  const TestImage picture = MakePicture(21, 11, TXcolorRGB48);
  const auto bytes = CompressToSize(picture, 3000);
  ASSERT_FALSE(bytes.empty());
  auto instance = Show(bytes);
  const auto texts = MenuTexts(*instance->RightClick(1, 1));
  EXPECT_NE(std::find(texts.begin(), texts.end(), "  Color mode: True Color (48 bit)"), texts.end());
  const std::vector<uint8_t> shown = CanvasRegion(instance->Window(), 21, 11);
  EXPECT_EQ(shown, ExpectedRgb(DecodeDirectly(bytes)));

  instance->Desktop().QueueSaveAnswer(TempPath("deep.tvx"), 2);
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  const auto bmp = ReadFile(TempPath("deep.bmp"));
  ASSERT_EQ(bmp.size(), 54u + 11 * (63 + 1));
  EXPECT_EQ(+ReadInfoHeader(bmp.data() + 14).biBitCount, 24);
  // Bottom row first, blue-green-red.
  const uint8_t* lastRowFirstPixel = &shown[(10 * 21) * 3];
  EXPECT_EQ(bmp[54], lastRowFirstPixel[2]);
  EXPECT_EQ(bmp[55], lastRowFirstPixel[1]);
  EXPECT_EQ(bmp[56], lastRowFirstPixel[0]);
}

TEST_F(PluginWindowTest, MenuOnlyOpensWhenDecodingStoppedAndNeverWithAutorefresh) {
  host.Serve(kUrl, Colour());
  auto waiting = Embed();
  StreamOptions options;
  options.stallAfter = 1000;
  waiting->Deliver(kUrl, options);
  EXPECT_EQ(waiting->RightClick(1, 1), nullptr);

  auto quiet = Show(Colour(), {{"autorefresh", "TRUE"}});
  EXPECT_EQ(quiet->RightClick(1, 1), nullptr);
  EXPECT_TRUE(quiet->Desktop().menus.empty());
}

TEST_F(PluginWindowTest, SavingTheTvxWritesTheReceivedBytes) {
  auto instance = Show(Colour());
  instance->Desktop().QueueSaveAnswer(TempPath("copy.of.picture.jpeg"), 1);
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  ASSERT_EQ(instance->Desktop().saveDialogs.size(), 1u);
  const SaveFileRequest& dialog = instance->Desktop().saveDialogs[0];
  EXPECT_EQ(dialog.file, "pic");
  EXPECT_EQ(dialog.title, "Save Image as...");
  EXPECT_EQ(dialog.defaultExtension, ".tvx");
  EXPECT_EQ(dialog.filterIndex, 1);
  ASSERT_EQ(dialog.filters.size(), 2u);
  EXPECT_EQ(dialog.filters[0].description, "TAVIX Image (*.tvx)");
  EXPECT_EQ(dialog.filters[0].pattern, "*.tvx");
  EXPECT_EQ(dialog.filters[1].description, "Windows Bitmap (*.bmp)");
  EXPECT_EQ(dialog.filters[1].pattern, "*.bmp");
  EXPECT_EQ(dialog.flags, unsigned{OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST});
  EXPECT_EQ(ReadFile(TempPath("copy.tvx")), Colour());
  EXPECT_TRUE(instance->Desktop().messageBoxes.empty());
}

TEST_F(PluginWindowTest, SavingAGreyBitmapWritesEightBitsWithAGreyTable) {
  auto instance = Show(GreyLossless());
  instance->Desktop().QueueSaveAnswer(TempPath("grey"), 2);
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  const auto bmp = ReadFile(TempPath("grey.bmp"));
  const size_t padded = 40;  // 37 rounded up to a multiple of 4
  ASSERT_EQ(bmp.size(), 1078 + 23 * padded);
  EXPECT_EQ(+ReadInfoHeader(bmp.data() + 14).biBitCount, 8);
  const Decoded decoded = DecodeDirectly(GreyLossless());
  for (int y = 0; y < 23; ++y) {
    const uint8_t* row = bmp.data() + 1078 + (22 - y) * padded;
    ASSERT_TRUE(std::equal(row, row + 37, decoded.pixels.begin() + y * 37)) << "row " << y;
    EXPECT_EQ(row[37] | row[38] | row[39], 0);
  }
}

TEST_F(PluginWindowTest, SaveFailuresAreReportedAndTheMenuStaysUsable) {
  auto instance = Show(Colour());
  CHeadlessDesktop& desktop = instance->Desktop();
  desktop.QueueSaveAnswer(TempPath("missing/a.tvx"), 1);
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  desktop.QueueSaveAnswer(TempPath("missing/a.bmp"), 2);
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  desktop.QueueSaveCancel();
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  ASSERT_EQ(desktop.messageBoxes.size(), 2u);
  EXPECT_EQ(desktop.messageBoxes[0].text, "Save Image failed!");
  EXPECT_EQ(desktop.messageBoxes[1].text, "Save image failed!");
  for (const auto& box : desktop.messageBoxes) {
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, unsigned{MB_ICONERROR});
    EXPECT_FALSE(box.owned);
  }
  EXPECT_EQ(desktop.saveDialogs.size(), 3u);
  desktop.QueueSaveAnswer(TempPath("fine"), 1);
  instance->RightClick(1, 1, ID_SAVE_IMAGE);
  EXPECT_EQ(ReadFile(TempPath("fine.tvx")), Colour());
}

TEST_F(PluginWindowTest, HomepageOpensInANewWindow) {
  auto instance = Show(Colour());
  instance->RightClick(1, 1, ID_HOMEPAGE);
  ASSERT_EQ(instance->getUrlCalls.size(), 1u);
  EXPECT_EQ(instance->getUrlCalls[0].first, kHomepageUrl);
  EXPECT_EQ(instance->getUrlCalls[0].second, "_blank");
  EXPECT_EQ(instance->streams.size(), 1u);
}

TEST_F(PluginWindowTest, FullPageScrollsALargeImageAndClampsTheSteps) {
  host.Serve(kUrl, Colour());
  auto instance = FullPage({}, 60, 40);
  instance->Deliver(kUrl);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  instance->Pump();
  CHeadlessWindow& page = instance->DrawingWindow();
  ASSERT_NE(&page, &instance->Window());
  EXPECT_EQ(page.ScrollInfo(SB_HORZ).nMax, 97);
  EXPECT_EQ(page.ScrollInfo(SB_HORZ).nPage, 60u);
  EXPECT_EQ(page.ScrollInfo(SB_VERT).nMax, 61);
  const Decoded decoded = DecodeDirectly(Colour());
  const std::vector<uint8_t> image = ExpectedRgb(decoded);
  auto imagePixel = [&](int x, int y) {
    const uint8_t* p = &image[(static_cast<size_t>(y) * 97 + x) * 3];
    return RGB(p[0], p[1], p[2]);
  };
  EXPECT_EQ(page.Canvas().Pixel(0, 0), imagePixel(0, 0));

  instance->Send(WM_HSCROLL, SB_LINEDOWN);
  instance->Send(WM_VSCROLL, SB_PAGEDOWN);  // 50 is beyond the maximum 21
  instance->Pump();
  EXPECT_EQ(page.ScrollInfo(SB_HORZ).nPos, 5);
  EXPECT_EQ(page.ScrollInfo(SB_VERT).nPos, 21);
  ASSERT_EQ(page.scrolls.size(), 2u);
  EXPECT_EQ(page.scrolls[0], (std::pair<int, int>{-5, 0}));
  EXPECT_EQ(page.scrolls[1], (std::pair<int, int>{0, -21}));
  EXPECT_EQ(page.Canvas().Pixel(0, 0), imagePixel(5, 21));
  EXPECT_EQ(page.Canvas().Pixel(59, 39), imagePixel(64, 60));

  instance->Send(WM_HSCROLL, SB_THUMBTRACK | (1000u << 16));
  EXPECT_EQ(page.ScrollInfo(SB_HORZ).nPos, 37);
  instance->Send(WM_HSCROLL, SB_PAGEUP);
  instance->Send(WM_HSCROLL, SB_ENDSCROLL);
  EXPECT_EQ(page.ScrollInfo(SB_HORZ).nPos, 0);
  EXPECT_EQ(page.Canvas().Pixel(0, 0), imagePixel(0, 21));

  // Growing the window past the image brings the position back to 0.
  instance->Resize(200, 100);
  EXPECT_EQ(page.ScrollInfo(SB_VERT).nPos, 0);
}

TEST_F(PluginWindowTest, ScrollingAnImageSmallerThanTheWindowDoesNothing) {
  host.Serve(kUrl, Colour());
  auto instance = FullPage();
  instance->Deliver(kUrl);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  instance->Pump();
  instance->Send(WM_HSCROLL, SB_LINEDOWN);
  instance->Send(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_TRUE(instance->DrawingWindow().scrolls.empty());
  EXPECT_EQ(instance->DrawingWindow().ScrollInfo(SB_HORZ).nPos, 0);
  // The full page also opens the menu, honouring "autorefresh" only.
  EXPECT_NE(instance->RightClick(1, 1), nullptr);
}

TEST_F(PluginWindowTest, PaletteDisplaysGetTheColourCube) {
  host.Serve(kUrl, Colour());
  auto instance = Embed({}, 120, 80, true);
  instance->Deliver(kUrl);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  const CMemoryCanvas& canvas = instance->Window().Canvas();
  EXPECT_GT(canvas.RealizeCount(), 0);
  EXPECT_EQ(canvas.SelectedPalette(), nullptr);  // the old palette is back after painting
  for (int y = 0; y < 61; y += 7)
    for (int x = 0; x < 97; x += 5) {
      const uint32_t p = canvas.Pixel(x, y);
      ASSERT_TRUE((p >> 16) % 51 == 0 && ((p >> 8) & 0xFF) % 51 == 0 && (p & 0xFF) % 51 == 0) << x << "," << y;
    }
  const int before = instance->Window().PaintCount();
  instance->Send(WM_PALETTECHANGED);
  EXPECT_GT(instance->Window().PaintCount(), before);
}

}  // namespace
