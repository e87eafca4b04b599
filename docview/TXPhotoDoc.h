// CTXPhotoDoc: one image document. It holds the image, the names of the
// file it came from, its source format and, for a .tvx file, the texts that
// describe how it was compressed. It never asks to be saved.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class CDib;
class CPreviewDlg;
class CTXPhotoView;

enum DocFormat : int {
  FormatTvx = 0,
  FormatBMP = 1,
  FormatTIFF = 2,
  FormatJPEG = 3,
  FormatPNM = 4,
  FormatGIF = 5,
  FormatClipboard = 6,
  FormatPCX = 7
};

class CTXPhotoDoc : public QObject {
  Q_OBJECT
public:
  CTXPhotoDoc();
  ~CTXPhotoDoc() override;

  // Reads the image in `path`; false (after telling the user why) when it
  // cannot be opened. The document is then discarded by its caller.
  virtual bool OnOpenDocument(const QString& path);
  // Takes the image on the clipboard; false when there is none or it cannot
  // be read (the user has been told).
  virtual bool PasteFromClipboard();
  // Fills m_strInfoShort and m_strInfoLong from the image's compression
  // parameters (after a .tvx read).
  void BuildCompressionInfo();

  // ---- preview (DocPreview.cpp)
  // Compresses the image into memory with the view's settings and decodes
  // it into m_pPreviewDib, showing intermediate images. Always true; a
  // failure is reported and closes the Preview dialog.
  bool CreatePreview();
  // Runs the Preview dialog; on "Save" writes the previewed bytes.
  void PreviewAndSave();
  // Repaints the open Preview dialog; 0 when none is open.
  int RefreshPreview();
  void DeletePreviewDib();
  void DeletePreviewDlg();

  const QString& GetPathName() const { return m_strFilePath; }
  QString GetTitle() const { return m_strTitle; }
  void SetTitle(const QString& title);
  CDib* GetDib() const { return m_pDib.get(); }
  bool IsModified() const { return m_bModified; }
  void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

  // Windows showing this document; the document goes with its last window.
  void AddFrame() { ++m_nFrames; }
  void RemoveFrame();

  std::unique_ptr<CDib> m_pDib;
  std::unique_ptr<CDib> m_pPreviewDib;
  CTXPhotoView* m_pView = nullptr;  // not owned
  int m_nResult = 0;
  int m_nFormat = FormatBMP;
  QString m_strSavedPath;
  QString m_strExt;
  QString m_strBaseName;
  QString m_strFileName;
  QString m_strFilePath;
  QString m_strInfoShort;
  QString m_strInfoLong;
  CPreviewDlg* m_pPreviewDlg = nullptr;

signals:
  void titleChanged(const QString& title);

private:
  QString m_strTitle;
  bool m_bModified = false;
  int m_nFrames = 0;
};
