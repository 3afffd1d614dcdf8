<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include virtual="/includes/auth.inc" -->
<!-- #include virtual="/includes/db.inc" -->
<%
Call RequireAdmin()
Dim strPageTitle, rs, curTotal, intYear
strPageTitle = "Sales report"
intYear = GetParam("year")
If Not IsNumeric(intYear) Or intYear = "" Then intYear = Year(Date())
Set rs = RunQuery("SELECT Month(OrderDate) AS M, SUM(Total) AS T FROM Orders WHERE Year(OrderDate) = ? GROUP BY Month(OrderDate) ORDER BY 1", Array(intYear))
curTotal = 0
%>
<!-- #include virtual="/includes/header.inc" -->
<script language="JavaScript" src="chart.js"></script>
<h1>Sales <%= intYear %></h1>
<table class="grid" cellspacing="0" id="sales">
  <tr><th>Month</th><th>Total</th></tr>
<% Do While Not rs.EOF
       curTotal = curTotal + rs("T") %>
  <tr><td><%= MonthName(rs("M")) %></td><td align="right"><%= FormatPrice(rs("T")) %></td></tr>
<%     rs.MoveNext
   Loop
   rs.Close %>
  <tr><th>Year</th><th align="right"><%= FormatPrice(curTotal) %></th></tr>
</table>
<div id="chart"></div>
<script language="JavaScript">drawBars("sales", "chart");</script>
<!-- #include virtual="/includes/footer.inc" -->
