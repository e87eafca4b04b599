// Consistency of the resource data: menus, accelerators, toolbars and the
// string table must fit together, and texts with odd characters must stay
// exactly as they are.
#include <QKeySequence>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include "resources/MenuData.h"
#include "resources/Strings.h"
#include "resources/resource.h"

class ResourcesTests : public QObject {
  Q_OBJECT
private slots:
  void menusAreWellFormed_data() {
    QTest::addColumn<int>("menuId");
    for (int id : {IDR_MAINFRAME, IDR_TAVIXTYPE, IDR_POPUP_TOOLBAR, IDR_POPUP_VIEW, IDR_POPUP_PREVIEW})
      QTest::addRow("menu %d", id) << id;
  }

  // Every popup has items, no popup starts or ends with a separator, and
  // every item but a separator has a text.
  void menusAreWellFormed() {
    QFETCH(int, menuId);
    const auto menu = MenuResource(menuId);
    QVERIFY(!menu.empty() && menu.front().depth == 0);
    for (std::size_t i = 0; i < menu.size(); ++i) {
      const MenuEntry& entry = menu[i];
      const bool last = i + 1 == menu.size() || menu[i + 1].depth == 0;
      if (entry.depth == 0)
        QVERIFY2(!last, entry.text);
      else if (entry.command == 0)
        QVERIFY(!entry.text && menu[i - 1].command != 0 && !last);
      else
        QVERIFY(entry.depth == 1 && entry.text && *entry.text);
    }
  }

  void everyCommandHasPromptAndTooltip() {
    QList<int> commands(StandardToolbarResource().begin(), StandardToolbarResource().end());
    for (int menuId : {IDR_MAINFRAME, IDR_TAVIXTYPE, IDR_POPUP_TOOLBAR, IDR_POPUP_VIEW})
      for (const MenuEntry& entry : MenuResource(menuId))
        if (entry.depth == 1)
          commands.append(entry.command);
    for (const UserImageButton& button : UserToolbarResource())
      commands.append(button.command);
    for (const AcceleratorEntry& accelerator : AcceleratorResource())
      commands.append(accelerator.command);
    for (int command : commands) {
      if (command == 0)
        continue;
      const QByteArray name = QByteArray::number(command);
      QVERIFY2(!CommandPrompt(command).isEmpty() && !CommandTooltip(command).isEmpty(), name);
    }
  }

  void acceleratorsParseAndReachMenuCommands() {
    QSet<int> menuCommands;
    for (const MenuEntry& entry : MenuResource(IDR_TAVIXTYPE))
      menuCommands.insert(entry.command);
    QSet<QString> seen;
    for (const AcceleratorEntry& accelerator : AcceleratorResource()) {
      const QKeySequence keys(QString::fromLatin1(accelerator.keys), QKeySequence::PortableText);
      QCOMPARE(keys.count(), 1);
      QCOMPARE(keys.toString(QKeySequence::PortableText), QString::fromLatin1(accelerator.keys));
      QVERIFY2(!seen.contains(keys.toString()), accelerator.keys);
      seen.insert(keys.toString());
      const bool pane = accelerator.command == ID_NEXT_PANE || accelerator.command == ID_PREV_PANE;
      QVERIFY2(pane || menuCommands.contains(accelerator.command), accelerator.keys);
    }
  }

  // A shortcut written into a menu text ("Strg+T") must work.
  void shownShortcutsHaveAccelerators() {
    const QRegularExpression shown(QStringLiteral("\\t\\s*Strg\\+(\\w)$"));
    for (int menuId : {IDR_MAINFRAME, IDR_TAVIXTYPE})
      for (const MenuEntry& entry : MenuResource(menuId)) {
        const auto match = shown.match(QString::fromUtf8(entry.text ? entry.text : ""));
        if (!match.hasMatch())
          continue;
        const QString keys = QStringLiteral("Ctrl+") + match.captured(1);
        bool found = false;
        for (const AcceleratorEntry& accelerator : AcceleratorResource())
          found |= accelerator.command == entry.command && keys == QLatin1String(accelerator.keys);
        QVERIFY2(found, entry.text);
      }
  }

  void exactTexts_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("help missing") << IDS_HELP_MISSING
        << QByteArray("The HTML Help cannot be executed. If you did not install \nthe Active X Control  "
                      "HHCTRL.OCX, execute the program\n\"hhupd.exe\" in the program directory \"TAVIX Kit\".");
    QTest::newRow("no internet") << IDS_NO_INTERNET
        << QByteArray("TAVIX Photo is unable to connect to the interent.");
    QTest::newRow("clipboard") << IDS_DELETE_CLIPBOARD
        << QByteArray("Do you want to delete the image data on the Clipboard?");
    QTest::newRow("document string") << IDR_TAVIXTYPE
        << QByteArray("\nTAVIX\nTAVIX\nTAVIX\n.tvx\nTAVIX.Image\nTAVIX Image");
    QTest::newRow("bytes written") << IDS_BYTES_WRITTEN << QByteArray("%d Bytes geschrieben");
    QTest::newRow("palette loss") << IDS_PALETTE_LOSS
        << QByteArray("If you save this image as  '%s'  file, you will loose the palette "
                      "information.\nDo you want to continue?");
  }

  void exactTexts() {
    QFETCH(int, id);
    QFETCH(QByteArray, text);
    QVERIFY(HasStringResource(id));
    QCOMPARE(LoadStringResource(id).toUtf8(), text);
  }

  // Prompt and tooltip split at the first newline only.
  void promptSplitsAtFirstNewline() {
    QCOMPARE(CommandPrompt(ID_COMPRESS_FILESIZE), QStringLiteral("Compress the active image (File Size)"));
    QCOMPARE(CommandTooltip(ID_COMPRESS_FILESIZE), QStringLiteral("File Size"));
    QCOMPARE(CommandPrompt(IDR_TAVIXTYPE), QString());
    QCOMPARE(CommandTooltip(IDR_TAVIXTYPE), QStringLiteral("TAVIX\nTAVIX\nTAVIX\n.tvx\nTAVIX.Image\nTAVIX Image"));
  }

  void userToolbarMatchesImages() {
    for (const UserImageButton& button : UserToolbarResource()) {
      if (button.command == 0)
        continue;
      QCOMPARE(UserImageIndex(button.command), button.image);
      QVERIFY(button.textId == 0 || !LoadStringResource(button.textId).isEmpty());
    }
    QCOMPARE(UserImageIndex(ID_FILE_OPEN), -1);
  }
};

QTEST_MAIN(ResourcesTests)
#include "resources_tests.moc"
