// "Create/Modify Element": chooses one entry of a values list, the kind of
// value and its place, transition or macro-state condition.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;
class TQRVDesigner;

class TfmAddElem : public QDialog
{
    Q_OBJECT
public:
    TfmAddElem(TQRVDesigner* net, const QStringList& places, const QStringList& transitions,
               const QStringList& kinds, QWidget* parent = nullptr);

    // Presets the dialog with an entry (the "Change" case), before it is shown.
    void Preset(const QString& kindText, const QString& objectText);
    QString KindText() const;
    // The chosen object, or the condition text when the objects are hidden.
    QString ObjectText() const;

    QComboBox* KindBox() const { return m_kind; }
    QComboBox* ObjectBox() const { return m_objects; }
    QWidget* MacroPanel() const { return m_macro; }
    QLineEdit* ConditionBox() const { return m_condition; }
    QPushButton* SetButton() const { return m_set; }
    QPushButton* EditButton() const { return m_edit; }
    // "...": the formula editor on the condition.
    void EditCondition();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void kindChosen(int index);
    void fillObjects(const QStringList& names, const QString& all);
    void setObjectsVisible(bool visible);

    TQRVDesigner* m_net;
    QStringList m_places;
    QStringList m_transitions;
    QStringList m_kinds;
    QString m_presetObject;
    QComboBox* m_kind;
    QComboBox* m_objects;
    QWidget* m_objectsRow;
    QWidget* m_macro;
    QLineEdit* m_condition;
    QPushButton* m_edit;
    QPushButton* m_set;
    QPushButton* m_discard;
};
