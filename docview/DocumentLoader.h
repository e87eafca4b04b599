// The readers a document opens files with, chosen by the file's extension,
// and the feedback each shows while it runs: a status text in pane 0 of the
// main status bar or a progress bar there.
#pragma once

#include <QMessageBox>
#include <QString>
#include <iosfwd>
#include <string>

#include "docview/TXPhotoDoc.h"

class CDib;
class CMainFrame;
class CMessageSink;

// What a reader gets: the path in the local encoding and the open file.
struct CLoadSource {
  std::string path;
  std::istream* file = nullptr;
};

struct CFormatReader;

// The reader of extension `ext` (without the dot, any case); nullptr when
// the application reads no such files.
const CFormatReader* FindFormatReader(const QString& ext);
DocFormat ReaderFormat(const CFormatReader& reader);

// Runs `reader` on `source` into `dib` with the reader's feedback, messages
// of the reader going to `sink`. Returns the reader's result code (a probe
// that refuses the file returns its code without any feedback).
int RunFormatReader(const CFormatReader& reader, CDib& dib, const CLoadSource& source, CMessageSink* sink);

// The application's main window; nullptr when there is none.
CMainFrame* MainFrameOrNull();

// Shows `text` in a message box over the main window, titled with the
// application's name.
void ShowDocumentMessage(const QString& text, QMessageBox::Icon icon);

// Sends the image readers' messages to message boxes.
CMessageSink* DocumentMessageSink();
