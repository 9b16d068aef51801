#pragma once

#include "core/appsettings.h"
#include "scan/scanoptions.h"

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tarvik {

// The options of a search on the new search page: size limits, exclusion patterns, hidden
// files, the digest cache. Checks what is typed as it is typed and says beside a field what it
// cannot read.
class SearchOptionsPanel : public QFrame
{
    Q_OBJECT

public:
    explicit SearchOptionsPanel(QWidget* parent = nullptr);

    AppSettings::OptionTexts texts() const;
    void setTexts(const AppSettings::OptionTexts& texts);
    // Every field can be read; only then does options() mean what the fields say.
    bool isValid() const { return mValid; }
    ScanOptions options() const { return mOptions; }
    // Some field differs from its default, so a scan is shaped by it.
    bool isSet() const { return !mOptions.isDefault() || !mValid; }

signals:
    void changed();

private slots:
    void onEdited();

private:
    QLineEdit* addSizeEdit(const QString& objectName, const QString& placeholder);
    static void showInvalid(QLineEdit* edit, bool invalid);

    QLineEdit* mMinSizeEdit;
    QLineEdit* mMaxSizeEdit;
    QLabel* mSizeErrorLabel;
    QLineEdit* mExcludeEdit;
    QLabel* mExcludeErrorLabel;
    QCheckBox* mHiddenCheckBox;
    QCheckBox* mCacheCheckBox;
    ScanOptions mOptions;
    bool mValid = true;
};

} // namespace tarvik
