// Common controls: the progress bar (normal and marquee), and the item lists of tree and list views
// (kept without a view: they hold the texts that a language file may set).
#pragma once
#include <memory>
#include <vector>

#include "runtime/StringLists.h"
#include "runtime/gui/Controls.h"

enum TProgressBarStyle { pbstNormal, pbstMarquee };

class TProgressBar : public TWinControl {
    ZRX_PUBLISHED_CLASS(TProgressBar, TWinControl)
public:
    explicit TProgressBar(TComponent* AOwner);
    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    TProgressBarStyle Style() const { return FStyle; }
    void SetStyle(TProgressBarStyle Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;

private:
    int FMin = 0, FMax = 100, FPosition = 0;
    TProgressBarStyle FStyle = pbstNormal;
};

class TTreeNodes;

class TTreeNode : public TPersistent {
    ZRX_CLASS(TTreeNode, TPersistent)
public:
    const std::wstring& Text() const { return FText; }
    void SetText(const std::wstring& Value) { FText = Value; }
    TTreeNode* Parent() const { return FParent; }
    int Count() const { return (int)FChildren.size(); }
    TTreeNode* Item(int Index) const;

private:
    friend class TTreeNodes;
    std::wstring FText;
    TTreeNode* FParent = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

// A tree of nodes; a flat index counts the nodes depth-first, each parent before its children.
class TTreeNodes : public TPersistent {
    ZRX_CLASS(TTreeNodes, TPersistent)
public:
    // Appends a node under Parent (nullptr: a top-level node).
    TTreeNode* AddChild(TTreeNode* Parent, const std::wstring& S);
    int GetCount() const { return FCount; }
    int Count() const { return FCount; }
    TTreeNode* GetNodeFromIndex(int Index) const;
    void Clear();

private:
    std::vector<std::unique_ptr<TTreeNode>> FRoots;
    int FCount = 0;
};

class TListItem : public TPersistent {
    ZRX_CLASS(TListItem, TPersistent)
public:
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value) { FCaption = Value; }
    TStrings* SubItems() { return &FSubItems; }

private:
    std::wstring FCaption;
    TStringList FSubItems;
};

class TListItems : public TPersistent {
    ZRX_CLASS(TListItems, TPersistent)
public:
    TListItem* Add();
    int GetCount() const { return (int)FItems.size(); }
    int Count() const { return GetCount(); }
    TListItem* GetItem(int Index) const;
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TListItem>> FItems;
};
