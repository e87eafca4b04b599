// CImageInfoDlg: "Image Information" for the image of a document window:
// file, size, colour model, compression, and a small picture of the image.
// The caller fills the members; the dialog only shows them.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QRect>
#include <QSize>
#include <QString>

class CDib;
class QGridLayout;
class QLabel;
class QLineEdit;

// Where a picture of `image` pixels goes inside a frame of `frame` pixels:
// as large as fits with its proportions kept, centred across the other
// direction. A frame wider than the image's proportions gets the full
// height; otherwise (equal proportions too) the full width. Empty when
// either size is empty.
QRect FitPictureRect(const QSize& frame, const QSize& image);

// The etched frame that shows the picture, drawn through CDib::Draw.
class CImagePictureFrame : public QFrame {
  Q_OBJECT
public:
  explicit CImagePictureFrame(QWidget* parent = nullptr);
  void SetDib(CDib* dib);
  // The picture's rectangle in the frame's coordinates (empty without an image).
  QRect PictureRect() const;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  CDib* m_pDib = nullptr;  // not owned
};

class CImageInfoDlg : public QDialog {
  Q_OBJECT
public:
  explicit CImageInfoDlg(QWidget* parent = nullptr);

  // Shows the members and runs the dialog; the result (IDOK) carries nothing.
  int DoModal();

  QString m_strFileName;
  QString m_strFormat;
  long m_nFileSize = 0;
  unsigned m_nWidth = 0;
  unsigned m_nHeight = 0;
  QString m_strColorModel;
  QString m_strMode;
  QString m_strRatio;
  QString m_strParams;
  CDib* m_pDib = nullptr;  // the document's image, not owned

  CImagePictureFrame* PictureFrame() const { return m_pPicture; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  // Members into their controls (they are never read back).
  void showMembers();
  QLineEdit* addField(QGridLayout* grid, const QString& label, int id, const char* symbol);
  int dialogUnitsX(int units) const;
  int dialogUnitsY(int units) const;

  QLineEdit* m_pFileName = nullptr;
  QLineEdit* m_pFormat = nullptr;
  QLineEdit* m_pFileSize = nullptr;
  QLineEdit* m_pWidth = nullptr;
  QLineEdit* m_pHeight = nullptr;
  QLineEdit* m_pColorModel = nullptr;
  QLineEdit* m_pMode = nullptr;
  QLineEdit* m_pRatio = nullptr;
  QLabel* m_pParams = nullptr;
  CImagePictureFrame* m_pPicture = nullptr;
  int m_nLabelWidth = 0;
};
