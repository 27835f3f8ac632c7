#pragma once

// Identifiers of the program's resources, named after the controls and menu entries they stand
// for. Shared by the resource script and the code.

// Menus and accelerators
#define IDR_MENU_PRINCIPALE 100
#define IDR_ACCELERATORI 101
#define ID_MenuFine 110
#define ID_MenuAvvioAuto 111
#define ID_MenuCreaCollegamento 112
#define ID_MenuEliminaCollegamento 113
#define ID_MenuInitCom 114
#define ID_MenuConfigura 115
#define ID_MenuInformazioni 116

// Frm_Configurazione
#define IDD_Frm_Configurazione 200
#define IDC_SSTab 201
#define IDC_Txt_NomePul0 210  /* to 215 */
#define IDC_Lab_Pulsiero0 220 /* to 225 */
#define IDC_Lin_Pul0 230      /* to 233 */
#define IDC_Lab_Server0 240
#define IDC_Lab_Server1 241
#define IDC_Txt_IP 242
#define IDC_Txt_Porta 243
#define IDC_Lab_Avanzate0 250
#define IDC_Lab_Avanzate1 251
#define IDC_Txt_NumeroD 252
#define IDC_Txt_NumeroT 253
#define IDC_Cmd_Reset 254

// Frm_About
#define IDD_Frm_About 300
#define IDC_cmdOK 1 /* IDOK: Enter presses it */
#define IDC_Lab_EMail 301
#define IDC_Lab_copy 302
#define IDC_lblVersion 303
#define IDC_lblProductName 304
#define IDC_Lab_Warning 305
#define IDC_Line1_0 306
#define IDC_Line1_1 307

// Icons of the secondary windows
#define IDI_CONFIGURAZIONE 400
#define IDI_INFORMAZIONI 401

// Pictures as raw 32-bit RGBA, one per scale: 100, 150 and 200 per cent (base + 0, 1, 2)
#define IDB_TELECOMANDO 500
#define IDB_INVIO 510
#define IDB_BANNER 520

// Strings: titles and texts of messages, and the windows' own texts
#define IDS_TITOLO_FINESTRA 1000
#define IDS_TASTO_N 1001
#define IDS_TITOLO_INVIO 1010
#define IDS_NON_INVIATO 1011
#define IDS_TITOLO_ERRORE_COMUNICAZIONE 1012
#define IDS_ERRORE_COMUNICAZIONE 1013
#define IDS_CHIAVE_NON_VALIDA 1014
#define IDS_CONTATORE_NON_SALVATO 1015
#define IDS_ERRORE_RETE_GENERICO 1016
#define IDS_TITOLO_INIT_COM 1020
#define IDS_INIT_COM 1021
#define IDS_TITOLO_PULSIERO 1030
#define IDS_AVVIO_NON_INSERITO 1031
#define IDS_AVVIO_GIA_INSERITO 1032
#define IDS_DESCRIZIONE_COLLEGAMENTO 1033
#define IDS_TRAY_APRI 1040
#define IDS_TRAY_FINE 1041
#define IDS_TITOLO_CONFIGURAZIONE 1050
#define IDS_PAGINA_PULSIERO 1051
#define IDS_PAGINA_RICEVITORE 1052
#define IDS_PAGINA_CODIFICA 1053
#define IDS_TITOLO_RESET 1054
#define IDS_DOMANDA_RESET 1055
#define IDS_RESET_ESEGUITO 1056
#define IDS_RESET_FALLITO 1057
#define IDS_CONFIGURAZIONE_NON_SALVATA 1058
#define IDS_TIP_NOME 1060
#define IDS_TIP_TASTO1 1061 /* to 1064 */
#define IDS_TIP_SUONO 1065
#define IDS_TIP_IP 1066
#define IDS_TIP_PORTA 1067
#define IDS_TIP_NUMEROD 1068
#define IDS_TIP_NUMEROT 1069
#define IDS_TIP_RESET 1070
#define IDS_VERSIONE 1080
#define IDS_DIRITTI 1081
#define IDS_AVVERTENZA 1082
#define IDS_RIGA_ERRORE 1090
#define IDS_RIGA_SCONOSCIUTA 1091
#define IDS_RIGA_MANCA_VALORE 1092
#define IDS_RIGA_INATTESO 1093
#define IDS_RIGA_FILE_VUOTO 1094
#define IDS_RIGA_TASTO 1095
#define IDS_RIGA_AIUTO 1096
#define IDS_RIGA_VERSIONE 1097
