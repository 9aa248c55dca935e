-- pat.mdb: patients, treatments, dentists and the practice's tariff codes
-- Column order is the field order the program reads and writes by position.

-- The tariff code record: positions 0 to 20 are shared by pat.mdb nomenclature,
-- eattest.mdb nomen and traj.mdb nomenclature; 19 is the stamp of the release that
-- last wrote the row. No index on ABREVIATION or "code inami": the application keeps none.
CREATE TABLE IF NOT EXISTS nomenclature (
    "ABREVIATION" TEXT(20),
    "code inami" TEXT(15),
    "LIBELLE" TEXT(255),
    "HONORAIRE" DOUBLE,
    "REMBOURSEMENT" DOUBLE,
    "TICKET_MODERATEUR" DOUBLE,
    "CATEGORIE" TEXT(30),
    "LIBELLE_PERSO" TEXT(255),
    "COULEUR" INTEGER,
    "HONORAIRE_BIM" DOUBLE,
    "REMBOURSEMENT_BIM" DOUBLE,
    "TICKET_BIM" DOUBLE,
    "AGE_MIN" INTEGER,
    "AGE_MAX" INTEGER,
    "DENTS" TEXT(60),
    "LETTRE_CLE" TEXT(10),
    "NOTE_PERSO" LONGTEXT,
    "FAVORI" YESNO DEFAULT 0,
    "ORDRE_AFFICHAGE" INTEGER DEFAULT 0,
    "DATE_MAJ" DATETIME,
    "DATE_VALIDITE" DATETIME,
    "REMARQUE" LONGTEXT
);

-- CLESIS (position 42) is blanked by a one-off fix; TPAUTORISE is added at position 51 by another.
CREATE TABLE IF NOT EXISTS patients (
    "NUMPAT" INTEGER NOT NULL,
    "NOM" TEXT(50),
    "PRENOM" TEXT(50),
    "ADRESSE" TEXT(30),
    "CODEPOSTAL" TEXT(10),
    "LOCALITE" TEXT(50),
    "PAYS" TEXT(30),
    "TELEPHONE" TEXT(20),
    "GSM" TEXT(20),
    "EMAIL" TEXT(100),
    "DATENAISSANCE" DATETIME,
    "SEXE" TEXT(1),
    "NISS" TEXT(15),
    "MUTUELLE" TEXT(10),
    "NUMMUTUELLE" TEXT(20),
    "CT1" TEXT(3),
    "CT2" TEXT(3),
    "TITULAIRE" TEXT(100),
    "LANGUE" TEXT(2),
    "PROFESSION" TEXT(50),
    "MEDECIN_TRAITANT" TEXT(100),
    "NUMDENTISTE" INTEGER,
    "DATE_CREATION" DATETIME,
    "DATE_DERNIERE_VISITE" DATETIME,
    "REMARQUE" LONGTEXT,
    "ALLERGIES" LONGTEXT,
    "ANTECEDENTS MEDICAUX" LONGTEXT,
    "MEDICAMENTS" LONGTEXT,
    "FUMEUR" YESNO DEFAULT 0,
    "ANTICOAGULANT" YESNO DEFAULT 0,
    "DIABETIQUE" YESNO DEFAULT 0,
    "ENCEINTE" YESNO DEFAULT 0,
    "DERNIERE_RADIO" DATETIME,
    "RAPPEL_MOIS" INTEGER DEFAULT 6,
    "DATE_RAPPEL" DATETIME,
    "SOLDE" DOUBLE DEFAULT 0,
    "ACOMPTE" DOUBLE DEFAULT 0,
    "TIERS_PAYANT" YESNO DEFAULT 0,
    "DMG" YESNO DEFAULT 0,
    "DATE_DMG" DATETIME,
    "ACCORD_MUTUELLE" TEXT(20),
    "NUMERO_CARTE" TEXT(20),
    "CLESIS" TEXT(50),
    "DATE_LECTURE_CARTE" DATETIME,
    "PHOTO" TEXT(255),
    "ACTIF" YESNO DEFAULT 1,
    "CONSENTEMENT_RGPD" YESNO DEFAULT 0,
    "DATE_CONSENTEMENT" DATETIME,
    "NUM_DOSSIER_PAPIER" TEXT(20),
    "RECOMMANDE_PAR" TEXT(100),
    "NOTES_ACCUEIL" LONGTEXT
);
CREATE UNIQUE INDEX IF NOT EXISTS patients_numpat ON patients(NUMPAT);

-- One row per treatment; the census counts dentists by year(date).
CREATE TABLE IF NOT EXISTS soins (
    "NUMSOIN" INTEGER NOT NULL,
    "NUMPAT" INTEGER,
    "numdentiste" INTEGER,
    "date" DATETIME,
    "code inami" TEXT(15),
    "DENT" TEXT(10),
    "FACE" TEXT(10),
    "HONORAIRE" DOUBLE,
    "REMBOURSEMENT" DOUBLE,
    "PAYE" YESNO DEFAULT 0,
    "REMARQUE" TEXT(255)
);

-- Positions 1 (name), 6 (INAMI number) and 8 (e-mail) go into the census.
CREATE TABLE IF NOT EXISTS dentiste (
    "numdentiste" INTEGER NOT NULL,
    "NOM" TEXT(100),
    "ADRESSE" TEXT(100),
    "CODEPOSTAL" TEXT(10),
    "LOCALITE" TEXT(50),
    "TELEPHONE" TEXT(20),
    "INAMI" TEXT(15),
    "COMPTE_BANCAIRE" TEXT(34),
    "EMAIL" TEXT(100),
    "CONVENTIONNE" YESNO DEFAULT 1
);
CREATE UNIQUE INDEX IF NOT EXISTS dentiste_numdentiste ON dentiste(numdentiste);

-- Position 3 (the database version) goes into the census.
CREATE TABLE IF NOT EXISTS parapat (
    "ID" INTEGER NOT NULL,
    "NOM_CABINET" TEXT(100),
    "NUMERO_LICENCE" TEXT(20),
    "VERSION_BASE" TEXT(20),
    "DERNIER_NUMPAT" INTEGER DEFAULT 0,
    "DERNIER_NUMSOIN" INTEGER DEFAULT 0
);
