<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include virtual="/includes/db.inc" -->
<%
' Page d'accueil en français, enregistrée en Windows-1252 comme au bon vieux temps.
Dim strPageTitle, strSalut
strPageTitle = "Accueil"
If Hour(Now()) < 18 Then strSalut = "Bonjour" Else strSalut = "Bonsoir"
%>
<!-- #include virtual="/includes/header.inc" -->
<h1><%= strSalut %> et bienvenue chez Greenfield&nbsp;!</h1>
<p>Graines, bulbes et outils de qualité depuis 1987 – livraison offerte dès 50 €.</p>
<p>« Le jardin, c’est l’été toute l’année » : découvrez nos conseils saisonniers.</p>
<p><a href="../products.asp">Voir le catalogue</a> · <a href="../contact.asp">Nous écrire</a></p>
<!-- #include virtual="/includes/footer.inc" -->
