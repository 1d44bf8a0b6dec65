#include "app/FileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

const char* const CFileDialog::kFilter = "All Files (*.*)";

namespace
{
CFileDialog::CChooser& Chooser()
{
    static CFileDialog::CChooser s_fnChooser;
    return s_fnChooser;
}
}  // namespace

void CFileDialog::SetChooser(CChooser fnChooser)
{
    Chooser() = std::move(fnChooser);
}

QString CFileDialog::GetOpenFileName(QWidget* pParent)
{
    return Run(pParent, Open, QString());
}

QString CFileDialog::GetSaveFileName(QWidget* pParent, const QString& strProposed)
{
    return Run(pParent, SaveAs, strProposed);
}

QString CFileDialog::Run(QWidget* pParent, EKind eKind, const QString& strProposed)
{
    if (Chooser())
        return Chooser()(eKind, strProposed);

    QFileDialog dlg(pParent);
    // Our own dialog, so that the one filter can match every name: on this
    // system "*.*" alone would hide the files without a dot.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilter(QString::fromLatin1(kFilter));
    if (auto* pModel = dlg.findChild<QFileSystemModel*>())
        pModel->setNameFilters(QStringList());
    if (eKind == Open)
    {
        dlg.setWindowTitle(QObject::tr("Open"));
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    else
    {
        dlg.setWindowTitle(QObject::tr("Save As"));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setDefaultSuffix(QString());
        dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
        if (!strProposed.isEmpty())
            dlg.selectFile(strProposed);
    }
    // The filter is applied again when the dialog settles on it; keep it
    // matching everything.
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg]() {
        if (auto* pModel = dlg.findChild<QFileSystemModel*>())
            pModel->setNameFilters(QStringList());
    });
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}
