#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class COxilumeView;

// The document layer under the log document: the framework's share of a
// single-document application's document. It owns the title, the path name
// and the file steps; the text itself lives in the view's control, and the
// document counts as changed when the control's modified flag is set.
//
// Files are the control's text as bytes of the system code page, nothing
// added and nothing interpreted (see CLogCodec). Saving goes through a
// temporary file that replaces the old one only when every byte was written,
// so a failed save leaves the earlier file whole.
class CTextDoc : public QObject
{
    Q_OBJECT

public:
    explicit CTextDoc(QObject* pParent = nullptr);
    ~CTextDoc() override;

    // The document's only view. The view learns its document too.
    void SetView(COxilumeView* pView);
    COxilumeView* GetView() const;

    // "Untitled" for a new document, the file's name once opened or saved.
    QString GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& strTitle);
    // Empty while the log has no file.
    QString GetPathName() const { return m_strPathName; }
    // Sets the path and makes the file's name the title.
    void SetPathName(const QString& strPathName);

    bool IsModified() const;
    void SetModifiedFlag(bool bModified = true);

    // The framework's new-document step: empties the control, clears the
    // modified flag, forgets the path, titles the document "Untitled" and
    // runs the view's initial update. Overrides call this first and stop when
    // it fails.
    virtual bool OnNewDocument();
    // Reads the file as the new text of the log. On failure shows the
    // framework's message and leaves the log, title and path as they were.
    // On success the path and title follow the file and the modified flag is
    // clear.
    virtual bool OnOpenDocument(const QString& strPathName);
    // Writes the whole log to the file. On failure shows the framework's
    // message and changes nothing (the old file stays whole). On success the
    // path and title follow the file and the modified flag is clear.
    virtual bool OnSaveDocument(const QString& strPathName);
    // Empties the control (the framework's step before new contents).
    virtual void DeleteContents();

    // Command routing after the view (see COxilumeView::OnCommand).
    virtual bool OnCommand(int nId);

signals:
    void TitleChanged(const QString& strTitle);
    void ModifiedChanged(bool bModified);

private:
    QPointer<COxilumeView> m_pView;
    QString m_strTitle;
    QString m_strPathName;
};
