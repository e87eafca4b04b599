// CTXPhotoDoc: one image document. It holds the image and the names of the
// file it came from.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class CDib;

class CTXPhotoDoc : public QObject {
  Q_OBJECT
public:
  CTXPhotoDoc();
  ~CTXPhotoDoc() override;

  // Reads the image in `path`; false (after telling the user why) when it
  // cannot be opened.
  virtual bool OnOpenDocument(const QString& path);
  // Takes the image on the clipboard; false when there is none.
  virtual bool PasteFromClipboard();

  const QString& GetPathName() const { return m_strPathName; }
  QString GetTitle() const { return m_strTitle; }
  void SetTitle(const QString& title);
  CDib* GetDib() const { return m_pDib.get(); }

  // Windows showing this document; the document goes with its last window.
  void AddFrame() { ++m_nFrames; }
  void RemoveFrame();

signals:
  void titleChanged(const QString& title);

protected:
  QString m_strPathName;
  QString m_strTitle;
  std::unique_ptr<CDib> m_pDib;
  int m_nFrames = 0;
};
