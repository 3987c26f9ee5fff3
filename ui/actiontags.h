// Actions carry a tag that the busy state reads: tag 0 works only while idle, tag 1
// ("Abandonner!") only while busy.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QList>

namespace zembrio {

constexpr const char* kTagProperty = "tag";

inline QAction* MakeAction(QObject* owner, const char* name, const QString& caption, int tag = 0) {
  auto* action = new QAction(caption, owner);
  // Toolbar buttons show the caption as it is, "..." included.
  action->setIconText(caption);
  action->setObjectName(name);
  action->setProperty(kTagProperty, tag);
  return action;
}

// Gives an action its keys; its tooltip (tip, or its caption) names the first of them.
inline void SetActionKeys(QAction* action, const QList<QKeySequence>& keys,
                          const QString& tip = {}) {
  action->setShortcuts(keys);
  const QString text = tip.isEmpty() ? action->iconText() : tip;
  action->setToolTip(keys.isEmpty() ? text
                                    : QString("%1 (%2)").arg(
                                          text, keys.first().toString(QKeySequence::NativeText)));
}

inline int ActionTag(const QAction* action) {
  return action->property(kTagProperty).toInt();
}

}  // namespace zembrio
