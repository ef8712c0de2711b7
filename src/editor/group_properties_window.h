// "Edit object properties": picks a class of elements present in the net and
// lists the simple (numeric) properties that all elements of that class share.
#pragma once

#include <QDialog>

#include "editor/property_editors.h"

class QComboBox;
class QTableWidget;
class TQRVDesigner;

class TfmEditObjectsProperties : public QDialog
{
    Q_OBJECT
public:
    explicit TfmEditObjectsProperties(TQRVDesigner& designer, QWidget* parent = nullptr);

    // Fills the class list from the net (done when the window is shown).
    void FillClasses();
    // Lists the properties shared by the objects of class `className`.
    void ChooseClass(const QString& className);

    QComboBox* ClassList() const { return m_classes; }
    QComboBox* PropertyList() const { return m_properties; }
    QTableWidget* Grid() const { return m_grid; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TQRVDesigner& m_designer;
    TPropertyContext m_context;
    QComboBox* m_classes;
    QComboBox* m_properties;
    QTableWidget* m_grid;
};
