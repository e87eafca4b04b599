// Gives a dialog or control its design id (the "tavixId" property) and its
// symbol (objectName), which tests and accessibility tools look up.
#pragma once

#include <QString>
#include <QWidget>

inline void Identify(QWidget* widget, int id, const char* symbol) {
  widget->setProperty("tavixId", id);
  widget->setObjectName(QString::fromLatin1(symbol));
}
