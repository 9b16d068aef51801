#include "ui/searchoptionspanel.h"

#include "scan/walkrules.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

namespace tarvik {

SearchOptionsPanel::SearchOptionsPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("OptionsPanel"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 0, 16, 8);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(6);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);

    const QString sizeTip = tr("Bytes, or a number with K, M or G (powers of 1024): 500K, 20M, "
                               "1.5G. A file of exactly this size is scanned. Empty: no limit.");
    layout->addWidget(new QLabel(tr("Size"), this), 0, 0);
    mMinSizeEdit = addSizeEdit(QStringLiteral("MinSizeEdit"), tr("no minimum"));
    mMinSizeEdit->setToolTip(sizeTip);
    layout->addWidget(mMinSizeEdit, 0, 1);
    layout->addWidget(new QLabel(tr("to"), this), 0, 2);
    mMaxSizeEdit = addSizeEdit(QStringLiteral("MaxSizeEdit"), tr("no maximum"));
    mMaxSizeEdit->setToolTip(sizeTip);
    layout->addWidget(mMaxSizeEdit, 0, 3);
    mSizeErrorLabel = new QLabel(this);
    mSizeErrorLabel->setObjectName(QStringLiteral("SizeErrorLabel"));
    mSizeErrorLabel->setWordWrap(true);
    mSizeErrorLabel->hide();
    layout->addWidget(mSizeErrorLabel, 1, 1, 1, 3);

    layout->addWidget(new QLabel(tr("Exclude"), this), 2, 0);
    mExcludeEdit = new QLineEdit(this);
    mExcludeEdit->setObjectName(QStringLiteral("ExcludeEdit"));
    mExcludeEdit->setPlaceholderText(tr("build, *.tmp, photos/*/thumbs"));
    mExcludeEdit->setToolTip(
        tr("Files and folders to leave out, separated by commas, case ignored. A pattern is "
           "matched against each name; one with a \"/\" against the path below the chosen "
           "folder, where ** spans folders (**/build/**). An excluded folder is not entered."));
    connect(mExcludeEdit, SIGNAL(textChanged(QString)), this, SLOT(onEdited()));
    layout->addWidget(mExcludeEdit, 2, 1, 1, 3);
    mExcludeErrorLabel = new QLabel(this);
    mExcludeErrorLabel->setObjectName(QStringLiteral("ExcludeErrorLabel"));
    mExcludeErrorLabel->setWordWrap(true);
    mExcludeErrorLabel->hide();
    layout->addWidget(mExcludeErrorLabel, 3, 1, 1, 3);

    mHiddenCheckBox = new QCheckBox(tr("Hidden files and folders too"), this);
    mHiddenCheckBox->setObjectName(QStringLiteral("HiddenCheckBox"));
    connect(mHiddenCheckBox, SIGNAL(toggled(bool)), this, SLOT(onEdited()));
    layout->addWidget(mHiddenCheckBox, 4, 1, 1, 3);

    mCacheCheckBox = new QCheckBox(tr("Reuse what earlier scans read"), this);
    mCacheCheckBox->setObjectName(QStringLiteral("CacheCheckBox"));
    mCacheCheckBox->setChecked(true);
    mCacheCheckBox->setToolTip(
        tr("Files unchanged since an earlier scan (same size, times and inode) are not read "
           "again; files are shown as copies unread only if they were once compared byte for "
           "byte. Off: every file is read, and nothing is kept."));
    connect(mCacheCheckBox, SIGNAL(toggled(bool)), this, SLOT(onEdited()));
    layout->addWidget(mCacheCheckBox, 5, 1, 1, 3);
}

QLineEdit* SearchOptionsPanel::addSizeEdit(const QString& objectName, const QString& placeholder)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    edit->setPlaceholderText(placeholder);
    connect(edit, SIGNAL(textChanged(QString)), this, SLOT(onEdited()));
    return edit;
}

AppSettings::OptionTexts SearchOptionsPanel::texts() const
{
    return {mMinSizeEdit->text(), mMaxSizeEdit->text(), mExcludeEdit->text(),
            mHiddenCheckBox->isChecked(), mCacheCheckBox->isChecked()};
}

void SearchOptionsPanel::setTexts(const AppSettings::OptionTexts& texts)
{
    mMinSizeEdit->setText(texts.minSize);
    mMaxSizeEdit->setText(texts.maxSize);
    mExcludeEdit->setText(texts.exclude);
    mHiddenCheckBox->setChecked(texts.hidden);
    mCacheCheckBox->setChecked(texts.cache);
    onEdited();
}

void SearchOptionsPanel::onEdited()
{
    ScanOptions options;
    QStringList sizeErrors;
    const auto readSize = [&](QLineEdit* edit, qint64* bytes, const QString& error) {
        const bool ok = parseSize(edit->text(), bytes);
        if (!ok)
            sizeErrors << error.arg(edit->text().trimmed());
        showInvalid(edit, !ok);
        return ok;
    };
    const bool minOk = readSize(mMinSizeEdit, &options.minSize,
                                tr("Minimum: \"%1\" is not a size (500K, 20M, 1.5G)"));
    const bool maxOk = readSize(mMaxSizeEdit, &options.maxSize,
                                tr("Maximum: \"%1\" is not a size (500K, 20M, 1.5G)"));
    if (options.minSize == ScanOptions::kNoLimit)
        options.minSize = 0;
    if (minOk && maxOk && options.maxSize != ScanOptions::kNoLimit &&
        options.maxSize < options.minSize) {
        sizeErrors << tr("The maximum is below the minimum: nothing would be scanned.");
        showInvalid(mMaxSizeEdit, true);
    }
    mSizeErrorLabel->setText(sizeErrors.join(QLatin1Char('\n')));
    mSizeErrorLabel->setVisible(!sizeErrors.isEmpty());

    options.exclude = splitPatterns(mExcludeEdit->text());
    const QString invalid = ExcludePatterns::invalidPattern(options.exclude);
    mExcludeErrorLabel->setText(tr("\"%1\" cannot be used as a pattern").arg(invalid));
    mExcludeErrorLabel->setVisible(!invalid.isEmpty());
    showInvalid(mExcludeEdit, !invalid.isEmpty());

    options.hidden = mHiddenCheckBox->isChecked();
    options.useCache = mCacheCheckBox->isChecked();
    mOptions = options;
    mValid = sizeErrors.isEmpty() && invalid.isEmpty();
    emit changed();
}

void SearchOptionsPanel::showInvalid(QLineEdit* edit, bool invalid)
{
    if (edit->property("invalid").toBool() == invalid)
        return;
    edit->setProperty("invalid", invalid);
    // A style sheet reads dynamic properties only when it polishes the widget.
    edit->style()->unpolish(edit);
    edit->style()->polish(edit);
}

} // namespace tarvik
