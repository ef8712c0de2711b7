// "Edit object properties": picks a class of elements present in the net,
// lists the simple (numeric) properties that all elements of that class
// share with each element's value, and writes a new value to all of them.
#pragma once

#include <QDialog>

#include "editor/property_editors.h"

class QComboBox;
class QLineEdit;
class QPushButton;
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
    // Fills the grid with each element's value of the chosen property.
    void ShowValues();
    // Writes the value field to the chosen property of every element of the
    // class, one step of the edit history; false (with the reason shown)
    // when the value is refused.
    bool Apply();

    QComboBox* ClassList() const { return m_classes; }
    QComboBox* PropertyList() const { return m_properties; }
    QTableWidget* Grid() const { return m_grid; }
    QLineEdit* ValueEdit() const { return m_value; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QList<QObject*> classObjects() const;
    std::unique_ptr<TPropertyEditor> chosenEditor(const QList<QObject*>& objects) const;

    TQRVDesigner& m_designer;
    TPropertyContext m_context;
    QComboBox* m_classes;
    QComboBox* m_properties;
    QTableWidget* m_grid;
    QString m_className;
    QLineEdit* m_value;
    QPushButton* m_apply;
};
