#pragma once
#include <QObject>

class MenusTest : public QObject {
  Q_OBJECT
 private slots:
  void menuBarHoldsTheFivePopups();
  void acceleratorTableIsComplete();
  void keysReachTheCommandTable();
  void unknownIdsBeepAndOptionsOpenTheirDialog();
  void popupsAreEnabledWhenTheyOpen();
  void textKeepsItsMarginsWhenResized();
};

class DocumentTest : public QObject {
  Q_OBJECT
 private slots:
  void sizeLimit();
  void openingAMissingPathCreatesIt();
  void openDialogAsksBeforeCreating();
  void lineEndsRoundTrip();
  void saveAsOwnPathCutsOldContent();
  void zeroByteEndsTheText();
  void questionsGuardUnsavedChanges();
  void fileIsHeldWhileItIsTheDocument();
  void saveOnAFullDiskKeepsTheFile();
};

class CloseTest : public QObject {
  Q_OBJECT
 private slots:
  void yesSavesAndCloses();
  void noClosesWithoutSaving();
  void cancelKeepsTheWindow();
  void closingAfterRunsAsksAboutTheReport();
  void enterAtTheEndQuestionAnswersNo();
};

class DisplayTest : public QObject {
  Q_OBJECT
 private slots:
  void fontKeepsMargins();
  void textColourOverride();
  void backgroundOverride();
  void standardFormat();
};

class ProgressTest : public QObject {
  Q_OBJECT
 private slots:
  void stepArithmetic();
  void barIsDrawnAtEachStep();
  void cancelStopsABootstrapAndKeepsEarlierOutputs();
};

class CommandFileTest : public QObject {
  Q_OBJECT
 private slots:
  void droppedFileRunsAndEndsTheProgram();
  void runShowsTheReport();
  void errorStopClosesAfterTheRun();
  void startupStatuses();
};

class ResultsTest : public QObject {
  Q_OBJECT
 private slots:
  void tableAndTreeShowInTipOrder();
  void rerootKeepsSupportAndExportsWrite();
  void lastRunIsOffered();
  void scatterNamesThePointUnderThePointer();
};
