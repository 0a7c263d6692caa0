# Precompiled headers: the Qt, standard and GoogleTest headers that nearly every source of a
# target includes are parsed once per target instead of once per source (about half of a
# source's compile time is spent in them). The sets grow from the core library to the
# screens to the tests; a target whose compile options match another's reuses its header.
option(TARVEST_PCH "Precompile the headers that every source includes" ON)

set(TARVEST_PCH_CORE
  <algorithm> <functional> <memory> <optional> <vector>
  <QByteArray> <QDate> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QObject>
  <QRegularExpression> <QSet> <QSqlDatabase> <QSqlError> <QSqlQuery> <QSqlRecord> <QString>
  <QStringList> <QVariant> <QVariantMap>)
set(TARVEST_PCH_UI ${TARVEST_PCH_CORE}
  <QAbstractTableModel> <QAction> <QApplication> <QCheckBox> <QComboBox> <QDialog> <QGridLayout>
  <QGroupBox> <QHBoxLayout> <QHeaderView> <QLabel> <QLineEdit> <QMainWindow> <QMenu>
  <QMessageBox> <QPainter> <QPushButton> <QTableView> <QVBoxLayout> <QWidget>)
set(TARVEST_PCH_TEST <gtest/gtest.h> <QCoreApplication> <QProcess> <QTemporaryDir>)

# Gives `target` the precompiled header of `set` (CORE, UI, CORE_TEST or UI_TEST).
function(tarvest_precompile target set)
  if(NOT TARVEST_PCH)
    return()
  endif()
  if(set STREQUAL "CORE_TEST")
    target_precompile_headers(${target} PRIVATE ${TARVEST_PCH_CORE} ${TARVEST_PCH_TEST})
  elseif(set STREQUAL "UI_TEST")
    target_precompile_headers(${target} PRIVATE ${TARVEST_PCH_UI} ${TARVEST_PCH_TEST} <QTest>)
  else()
    target_precompile_headers(${target} PRIVATE ${TARVEST_PCH_${set}})
  endif()
endfunction()

# Gives `target` the precompiled header of `from` (compiled with the same options).
function(tarvest_precompile_like target from)
  if(TARVEST_PCH)
    target_precompile_headers(${target} REUSE_FROM ${from})
  endif()
endfunction()
