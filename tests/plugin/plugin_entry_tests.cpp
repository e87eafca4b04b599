// The library as a browser loads it: exports, function tables, instances
// and windows.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/PluginInstance.h"
#include "plugin/plugin_test_helpers.h"

namespace {

using namespace plugin_test;

class PluginEntryTest : public PluginHostTest {};

TEST_F(PluginEntryTest, EntryPointsFillTheTableAndRefuseNullTables) {
  const NPPluginFuncs& funcs = host.Plugin();
  EXPECT_EQ(funcs.version, 9);
  EXPECT_NE(funcs.newp, nullptr);
  EXPECT_NE(funcs.destroy, nullptr);
  EXPECT_NE(funcs.setwindow, nullptr);
  EXPECT_NE(funcs.newstream, nullptr);
  EXPECT_NE(funcs.destroystream, nullptr);
  EXPECT_NE(funcs.asfile, nullptr);
  EXPECT_NE(funcs.writeready, nullptr);
  EXPECT_NE(funcs.write, nullptr);
  EXPECT_NE(funcs.print, nullptr);
  EXPECT_EQ(funcs.event, nullptr);
  EXPECT_NE(funcs.urlnotify, nullptr);  // the host announced minor version 9
  EXPECT_EQ(funcs.javaClass, nullptr);

  EXPECT_EQ(host.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(host.initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  NPNetscapeFuncs future{};
  future.size = sizeof future;
  future.version = 1 << 8;
  EXPECT_EQ(host.initialize(&future), NPERR_INCOMPATIBLE_VERSION_ERROR);
}

TEST_F(PluginEntryTest, OlderBrowserGetsNoUrlNotify) {
  NPPluginFuncs funcs{};
  funcs.size = sizeof funcs;
  ASSERT_EQ(host.getEntryPoints(&funcs), NPERR_NO_ERROR);
  NPNetscapeFuncs browser = host.Browser();
  browser.version = 8;
  ASSERT_EQ(host.initialize(&browser), NPERR_NO_ERROR);
  EXPECT_EQ(funcs.urlnotify, nullptr);
  // Restore the host's own tables for the rest of the test.
  ASSERT_EQ(host.getEntryPoints(&host.Plugin()), NPERR_NO_ERROR);
  ASSERT_EQ(host.initialize(&host.Browser()), NPERR_NO_ERROR);
}

TEST_F(PluginEntryTest, DescribesItsTypesAndExportsNothingElse) {
  ASSERT_NE(host.getMIMEDescription, nullptr);
  EXPECT_STREQ(host.getMIMEDescription(), "image/x-tavix:tvx:TAVIX Image;images/Tavix:tvx:TAVIX Image");
  const char* name = nullptr;
  ASSERT_EQ(host.getValue(nullptr, NPPVpluginNameString, &name), NPERR_NO_ERROR);
  EXPECT_STREQ(name, "TAVIX Plugin for Netscape");
  ASSERT_EQ(host.getValue(nullptr, NPPVpluginDescriptionString, &name), NPERR_NO_ERROR);
  EXPECT_STREQ(name, "TAVIX");

  void* library = dlopen(NPTAVIX_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(dlsym(library, "NPP_New"), nullptr);
  EXPECT_EQ(dlsym(library, "_Z7NPP_NewPcP5NPP_ttsPS_S2_P11NPSavedData"), nullptr);
  EXPECT_NE(dlsym(library, "NP_Shutdown"), nullptr);
  dlclose(library);
}

TEST_F(PluginEntryTest, InstanceCallsRefuseANullInstance) {
  const NPPluginFuncs& f = host.Plugin();
  EXPECT_EQ(f.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(f.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(f.setwindow(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  uint16 type = 0;
  EXPECT_EQ(f.newstream(nullptr, nullptr, nullptr, 1, &type), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(f.write(nullptr, nullptr, 0, 0, nullptr), -1);
}

TEST_F(PluginEntryTest, NewInstanceAnnouncesItselfAndStreamsNeedADecoder) {
  auto instance = Embed();
  EXPECT_EQ(instance->statusTexts, std::vector<std::string>{"TAVIX Plugin running"});
  auto* record = static_cast<PluginInstance*>(instance->Npp()->pdata);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->mode, NP_EMBED);
  EXPECT_EQ(record->npp, instance->Npp());
  EXPECT_EQ(host.Plugin().destroystream(instance->Npp(), nullptr, NPRES_DONE), 6);
  EXPECT_EQ(host.Plugin().write(instance->Npp(), nullptr, 0, 4, const_cast<char*>("abcd")), -1);

  EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(instance->Npp()->pdata, nullptr);
}

TEST_F(PluginEntryTest, SetWindowSubclassesOnceAndRestoresTheOldProcedure) {
  auto instance = host.CreateInstance(NP_EMBED);
  ASSERT_EQ(instance->New(), NPERR_NO_ERROR);
  CHeadlessWindow& window = instance->Window();
  EXPECT_EQ(window.WindowProc(), nullptr);
  ASSERT_EQ(instance->SetWindow(), NPERR_NO_ERROR);
  const WNDPROC subclass = window.WindowProc();
  ASSERT_NE(subclass, nullptr);
  EXPECT_EQ(window.GetProp("instance->pdata"), instance->Npp()->pdata);
  ASSERT_EQ(instance->SetWindow(), NPERR_NO_ERROR);  // same handle again
  EXPECT_EQ(window.WindowProc(), subclass);

  // Moving to another window restores the first one's procedure.
  CHeadlessDesktop desktop;
  auto other = desktop.CreateWindow(100, 100);
  ASSERT_EQ(instance->SetWindow(other.get()), NPERR_NO_ERROR);
  EXPECT_EQ(window.WindowProc(), nullptr);
  EXPECT_EQ(window.GetProp("instance->pdata"), nullptr);
  EXPECT_EQ(other->WindowProc(), subclass);
  ASSERT_EQ(instance->SetWindow(nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(other->WindowProc(), nullptr);
  EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
}

TEST_F(PluginEntryTest, FullPageCreatesAScrollingChildAndDestroyRemovesIt) {
  auto instance = FullPage();
  CHeadlessWindow& window = instance->Window();
  ASSERT_EQ(window.Children().size(), 1u);
  const CHeadlessWindow& child = *window.Children().front();
  EXPECT_EQ(child.Title(), "aFullPluginWindow");
  EXPECT_EQ(child.Style(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL);
  EXPECT_EQ(child.GetClientRect(), (CRect{0, 0, 320, 240}));
  EXPECT_EQ(child.GetProp("instance->pdata"), instance->Npp()->pdata);
  EXPECT_EQ(instance->Desktop().classes.count("5077A664-E682-11d0-BD0D-004F4902035F"), 1u);

  instance->Resize(500, 400);
  EXPECT_EQ(window.Children().front()->GetClientRect(), (CRect{0, 0, 500, 400}));

  ASSERT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  EXPECT_TRUE(window.Children().empty());
  EXPECT_EQ(instance->Desktop().classes.count("5077A664-E682-11d0-BD0D-004F4902035F"), 0u);
  EXPECT_EQ(window.WindowProc(), nullptr);
}

TEST_F(PluginEntryTest, PrintingAFullPageIsLeftToTheBrowser) {
  auto instance = Embed();
  NPPrint print{};
  print.mode = NP_FULL;
  print.print.fullPrint.pluginPrinted = true;
  host.Plugin().print(instance->Npp(), &print);
  EXPECT_FALSE(print.print.fullPrint.pluginPrinted);
  NPPrint embedded{};
  embedded.mode = NP_EMBED;
  embedded.print.embedPrint.platformPrint = &embedded;
  host.Plugin().print(instance->Npp(), &embedded);
  EXPECT_EQ(embedded.print.embedPrint.platformPrint, &embedded);
}

}  // namespace
